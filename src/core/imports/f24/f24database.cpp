// How the program runs the F24 import: the structure service of the main
// connection, and the fiscal year 2024 of the year context.

#include "imports/f24/f24import.h"

#include "database/structureservice.h"
#include "base/errors.h"
#include "database/params.h"
#include "sections/databasestore.h"

namespace jex {

std::unique_ptr<SectionStore> makeProgramStore(TQxSQLConnection &)
{
    return std::make_unique<DbCdsStore>(&applicationDBCds());
}

F24Year programYear(TQxSQLConnection &)
{
    F24Year y;
    try {
        auto &anno = zptAnnoFinanziario();
        anno.SetAnno(anfIdOfYear(2024));
        y.id = anno.Id;
        if (anno.Anno != 0) {
            y.anno = anno.Anno;
            y.annoFineTxt = anno.AnnoFineTxt();
        }
    } catch (const EQxError &) {
        // Without a global connection (a test's own database) the year of
        // this edition stands.
    }
    return y;
}

} // namespace jex
