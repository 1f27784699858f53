#pragma once

#include "sections/sectionstore.h"

namespace jex::demo {

struct DemoSchool;

// The demo school's people as the return records them: the employees with
// their INPS and public-sector contribution rows and a few arrears taxed
// separately, the self-employed with their sums, all taken from the school's
// certifications. A return that already has employees is left alone.
void seedRecipientsDemo(const DemoSchool &school, SectionStore &access);

} // namespace jex::demo
