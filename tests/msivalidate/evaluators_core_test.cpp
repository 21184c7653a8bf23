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

EVALUATOR_CASES(CoreEvaluators, kCases);

}  // namespace
}  // namespace vt
