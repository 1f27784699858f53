# Working tables of the telematic file, installed empty; the start-up copies
# them into the data directory of the year.
set(JEX_TELEMATIC_TABLES_DIR ${JEX_DIST}/USR/YR2024/DbIniziale)
set(JEX_TELEMATIC_TABLES
    ${JEX_TELEMATIC_TABLES_DIR}/TFIFI_FIELDSFILE.CDS
    ${JEX_TELEMATIC_TABLES_DIR}/TFILE_FILETELEM.CDS)
add_custom_command(OUTPUT ${JEX_TELEMATIC_TABLES}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:jex770> --main-dir ${JEX_DIST} make-telematic-tables ${JEX_TELEMATIC_TABLES_DIR}
  DEPENDS jex770 VERBATIM)
list(APPEND JEX_DATA_OUTPUTS ${JEX_TELEMATIC_TABLES})
