// Evaluators tripped once each on an altered corpus package.
#include "validate_support.h"

namespace vt {
namespace {

const EvaluatorCase kCases[] = {
    {"ICE08", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `ComponentId` = '{00000000-0000-0000-0000-0000000000A1}' "
      "WHERE `Component` = 'HelpFile_Component' OR `Component` = 'Website_Component'"},
     "ICE08  ERROR    Component.ComponentId [Website_Component]  Component: Website_Component has a duplicate GUID: "
     "{00000000-0000-0000-0000-0000000000A1} (also used by component HelpFile_Component)"},
};

class CoreEvaluators : public testing::TestWithParam<EvaluatorCase> {};

TEST_P(CoreEvaluators, TripOnce) {
  REQUIRE_CORPUS();
  CheckEvaluatorCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, CoreEvaluators, testing::ValuesIn(kCases), CaseName);

}  // namespace
}  // namespace vt
