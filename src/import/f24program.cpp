// How the program runs the F24 import: its store and its year.

#include "f24store.h"
#include "importprospetto.h"

namespace jex {

std::unique_ptr<ProspettoStore> makeProgramStore(TQxSQLConnection &)
{
    return std::make_unique<MemoryProspettoStore>();
}

F24Year programYear(TQxSQLConnection &)
{
    return F24Year{};
}

} // namespace jex
