# Print templates: the form pages and the report pages drawn from their
# description, next to the coordinate files that place the values on them.
set(JEX_PRINT_TEMPLATES_DESC ${CMAKE_CURRENT_SOURCE_DIR}/printtemplates/templates.xml)
set(JEX_PRINT_TEMPLATES_DIR ${JEX_DIST}/USR/YR2024/Res/CoordStp)
set(JEX_PRINT_TEMPLATES
    ${JEX_PRINT_TEMPLATES_DIR}/770_sempl_mod.pdf
    ${JEX_PRINT_TEMPLATES_DIR}/RiepilogoINPS.pdf
    ${JEX_PRINT_TEMPLATES_DIR}/RiepilogoTassazioneSeparata.pdf
    ${JEX_PRINT_TEMPLATES_DIR}/RiepilogoIRPEF.pdf
    ${JEX_PRINT_TEMPLATES_DIR}/RiepilogoINPDAP.pdf
    ${JEX_PRINT_TEMPLATES_DIR}/RiepilogoAutonomi.pdf
    ${JEX_PRINT_TEMPLATES_DIR}/Quadratura.pdf)
add_custom_command(OUTPUT ${JEX_PRINT_TEMPLATES}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:jex770> --main-dir ${JEX_DIST} make-print-templates
          ${JEX_PRINT_TEMPLATES_DESC} ${JEX_PRINT_TEMPLATES_DIR}
  DEPENDS jex770 ${JEX_PRINT_TEMPLATES_DESC} VERBATIM)
list(APPEND JEX_DATA_OUTPUTS ${JEX_PRINT_TEMPLATES})
