#include "registration.h"

#include "base/appcontext.h"
#include "base/commands.h"
#include "database/sqlconnection.h"
#include "sections/transfer.h"

namespace jex {

Registry &coreRegistry()
{
    static SectionLoadHooks loadChecks;
    static Registry registry{CommandRegistry::instance(), SchemaRegistry::instance(), AppContext::instance(),
                             loadChecks};
    return registry;
}

void registerCore(Registry &registry)
{
    static bool done = false;
    if (done)
        return;
    done = true;
    registerCoreSchema(registry);
    registerParameters(registry);
    registerDatabaseCommands(registry);
    registerCodeLists(registry);
    registerCatalogue(registry);
    registerStartupChecks(registry);
    registerTableRules(registry);
    registerSectionCommands(registry);
    registerCodeListCommands(registry);
    registerF24Schema(registry);
    registerPayrollArchiveSchema(registry);
    registerF24Commands(registry);
    registerCudCommands(registry);
    registerAutonomiCommands(registry);
    registerPreviousImportCommands(registry);
    registerIntegrationCommands(registry);
    registerTelematic(registry);
    registerSupply(registry);
    registerPrinting(registry);
    registerReconcile(registry);
    registerDemo(registry);
}

} // namespace jex
