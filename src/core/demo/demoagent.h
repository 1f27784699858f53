#pragma once

#include "sections/sectionstore.h"

namespace jex::demo {

struct DemoSchool;

// The demo school's own return record, complete as a school office would
// have it before sending: the agent with its legal representative and the
// "altri soggetti" codes, and the supplier of the file (the school itself).
// A return whose agent record already exists is left alone.
void seedAgentDemo(const DemoSchool &school, SectionStore &access);

} // namespace jex::demo
