#pragma once

#include <QString>
#include <QStringList>

namespace jex {

class SectionStore;
class CertificationSource;

// The checks the main window runs when it is first shown. They are plain
// functions so that batch commands run them as start-up steps too.
namespace startup {

extern const char *const statusText;
extern const char *const carryOverMessage;
extern const char *const fillMessage;

// Creates the data directory and copies the starting working tables into
// it when it does not exist yet. An existing directory is left alone.
void checkDataDirectory(const QString &initialDir, const QString &dataDir);
QStringList startingDataFiles();

// Makes sure the return has a withholding-agent record: carried over from
// the year before when the section is empty, completed from payroll and
// certification data while its codice fiscale is missing.
void checkSostituto(SectionStore &store, CertificationSource *certification);

// The integer flags that a carried-over agent record starts again from.
QStringList carryOverResetFlags();
// The flags set to "0" in an agent record created from payroll data.
QStringList newRecordFlags();

} // namespace startup
} // namespace jex
