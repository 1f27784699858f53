#pragma once

// Data module of the telematic file: the return's tables, the generation of
// the field texts of the repeated records D, I and J, the assembly of every
// record from them and the writing of the file. A run keeps its field texts
// and records in memory; the working-table files are only created empty.

#include "dataset/dataset.h"
#include "telematic/fieldformat.h"
#include "telematic/layouts.h"

#include <QHash>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace jex {

class SectionStore;

// Components bound to the return's tables, in the order they are opened.
struct TableBinding
{
    const char *component;
    const char *table;
    const char *index; // summary tables: the order the file relies on
};
const QList<TableBinding> &telematicTables();

// The component of one row whose SSOE7CODICE names the agent of the module
// being written (empty for the declaring agent). A layout that places it in
// the head of records D and I lets a supply be read back agent by agent.
inline constexpr char kModuleAgent[] = "cdsSostModulo";

// Column definitions of the two working tables.
void defineFieldFileTable(ClientDataSet &ds);   // TFIFI_FIELDSFILE
void defineFileTelemTable(ClientDataSet &ds);   // TFILE_FILETELEM
// Writes both working tables empty into a directory (installation and first use).
void writeEmptyWorkingTables(const QString &dir);

// A field text of records D, I and J as the generation writes it: the
// record's code letter, its module and the text (with its field code for
// key-value fields). The records are assembled from these rows in order.
struct FieldText
{
    QString code;
    int module = 0;
    QString text;
};

class TdmJexFile
{
public:
    TdmJexFile();
    ~TdmJexFile();

    // --- components
    ClientDataSet *component(const QString &name) const; // case-insensitive; nullptr if none
    ClientDataSet &FindSectionDataSet(const QString &name) const; // asserts
    ClientDataSet &cds(const char *name) const { return FindSectionDataSet(QString::fromLatin1(name)); }
    // The field texts of the last generation, kept in memory until the next.
    std::vector<FieldText> &fieldTexts() { return m_fieldTexts; }
    const std::vector<FieldText> &fieldTexts() const { return m_fieldTexts; }
    ClientDataSet &cdsFileTel() const { return *m_fileTel; }

    // --- configuration
    SectionStore *store = nullptr; // where the return's sections are read and saved (not owned)
    QString layoutDir;  // defaults to the installation's FileTel directory
    std::function<void(const QString &)> addInfo; // progress and error lines

    // --- opening (the wizard's creation and showing)
    void openTables(bool withFrontTables = true);
    void closeTables();
    bool hasDiStSvSxData() const;
    bool hasSyData() const;
    bool sxHasContent() const;

    // --- generation choices and state
    bool includeD = true;  // "Prospetto DI - ST - SV - SX"
    bool includeSY = true; // "Prospetto SY"
    int flagST = 0, flagSV = 0, flagSX = 0, flagDI = 0;
    int moduleD = 1, moduleI = 1, moduleJ = 1;
    int modulesI = 0;

    // --- the generation steps, as the wizard runs them
    void checkExtinctAgents();
    void clearWorkingTables();
    void rebuildSS();
    void GenerateRecordD();
    void GenerateRecordI();
    void GenerateRecordJ();
    // Steps 1 to 9 in one call (no window).
    void runGeneration();

    // --- assembly and writing
    void BuildFile();
    void AssembleRecords(const QString &code, int headFields);
    // Returns the names of the files written.
    QStringList WriteTelematicFile(const QString &fileName);

    // Index of the file for the 8,275 detail records per file.
    static constexpr int kDetailRecordsPerFile = 8275;

    QString layoutFile(const QString &name) const;

private:
    struct FamilyState
    {
        QString recordCode;
        int *module = nullptr;
    };

    void addLine(const QString &line) { if (addInfo) addInfo(line); }
    void appendField(const QString &code, int module, const QString &text);
    QVariant readValue(FieldFamily fam, const TXMLCampoType &campo, const QString &sectionCds,
                       FamilyState &st);
    QString fieldText(FieldFamily fam, const TXMLCampoType &campo, const QString &sectionCds,
                      FamilyState &st);
    void writeRepeatedField(FieldFamily fam, const TXMLCampoType &campo, const QString &sectionCds,
                            int row, FamilyState &st);
    void writeSection(FieldFamily fam, const TXMLSectionType &section, int row, FamilyState &st);
    void writeSectionD(const TXMLSectionType &section, FamilyState &st);
    void writeSectionI(const TXMLSectionType &section, FamilyState &st);
    QString buildPositional(FieldFamily fam, const TXMLRecordType &root);
    // Runs the module loop once per agent: the declaring agent first, then
    // every extinct agent in the stored order of its table, with the tables
    // filtered to that agent's rows.
    void forEachAgent(const QList<ClientDataSet *> &tables, const std::function<void()> &modules);
    static bool namesModuleAgent(const TXMLRecordEType &root);

    std::map<QString, std::unique_ptr<ClientDataSet>> m_components; // lower-case name
    // Components by the spelling they were asked for: the layouts name the
    // same few over and over.
    mutable QHash<QString, ClientDataSet *> m_bySpelling;
    std::vector<FieldText> m_fieldTexts;
    ClientDataSet *m_fileTel = nullptr;
};

} // namespace jex
