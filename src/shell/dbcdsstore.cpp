#include "dbcdsstore.h"

#include "foundation/appcontext.h"

namespace jex {

TQmrDBCds &applicationDBCds()
{
    static TQmrDBCds *service = [] {
        auto *s = new TQmrDBCds(2024, QStringLiteral("jex"), 0);
        s->SetConnection(&AppContext::instance().connection().xqoMain);
        s->SetShowWait(false);
        return s;
    }();
    return *service;
}

SectionStore &applicationStore()
{
    static DbCdsStore store(&applicationDBCds());
    return store;
}

} // namespace jex
