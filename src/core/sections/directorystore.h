#pragma once

#include "sections/sectionstore.h"

namespace jex {

// Section files NAME.CDS of a folder, as the export writes them: the prints
// of `print --data`. A section without a file opens empty with its columns
// from the catalogue.
class DirectorySectionStore : public SectionStore
{
public:
    explicit DirectorySectionStore(const QString &dir, int year = 2024) : m_dir(dir), m_year(year) {}
    int year() const override { return m_year; }
    void openCds(const QString &section, ClientDataSet &ds) override;
    void openCdsPeriod(const QString &section, ClientDataSet &ds, int month, int year) override;
    void saveCds(const QString &section, ClientDataSet &ds) override;

private:
    QString m_dir;
    int m_year;
};

} // namespace jex
