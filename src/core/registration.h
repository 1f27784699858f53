#pragma once

// What each subsystem of the core adds to the program: batch commands,
// schema parts, start-up steps and the rules a batch load applies. The
// program calls registerCore() once, before anything runs; there is no
// registration from static initialisers, so a subsystem left out is a link
// error or a visible gap in --help, never a check silently skipped.

namespace jex {

class AppContext;
class CommandRegistry;
class SchemaRegistry;
class SectionLoadHooks;

struct Registry
{
    CommandRegistry &commands;
    SchemaRegistry &schema;
    AppContext &startup;
    SectionLoadHooks &loadChecks;
};

// The program's registries.
Registry &coreRegistry();

void registerCoreSchema(Registry &registry);       // database/schema.cpp
void registerParameters(Registry &registry);       // database/params.cpp
void registerDatabaseCommands(Registry &registry); // database/commands.cpp
void registerCodeLists(Registry &registry);        // dataset/codelists.cpp
void registerCatalogue(Registry &registry);        // catalogue/catalogue.cpp
void registerStartupChecks(Registry &registry);    // checks/startupchecks.cpp
void registerTableRules(Registry &registry);       // checks/tablerules.cpp
void registerSectionCommands(Registry &registry);  // sections/transfer.cpp
void registerCodeListCommands(Registry &registry); // codelists/commands.cpp
void registerF24Schema(Registry &registry);        // imports/f24/payrollschema.cpp
void registerPayrollArchiveSchema(Registry &registry); // imports/cud/payrollarchive.cpp
void registerF24Commands(Registry &registry);      // imports/f24/commands.cpp
void registerCudCommands(Registry &registry);      // imports/cud/commands.cpp
void registerAutonomiCommands(Registry &registry); // imports/autonomi/commands.cpp
void registerPreviousImportCommands(Registry &registry); // imports/previous/commands.cpp
void registerIntegrationCommands(Registry &registry); // imports/integration/commands.cpp
void registerTelematic(Registry &registry);        // telematic/commands.cpp
void registerSupply(Registry &registry);           // telematic/supply/commands.cpp
void registerPrinting(Registry &registry);         // printing/commands.cpp
void registerReconcile(Registry &registry);        // checks/reconcilecommands.cpp
void registerDemo(Registry &registry);             // demo/commands.cpp

// Every subsystem above, in that order (the order of --help); a second call
// does nothing.
void registerCore(Registry &registry);

} // namespace jex
