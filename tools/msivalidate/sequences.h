// The installer's sequence tables and standard actions, for the
// evaluators that check how actions are sequenced.
#pragma once

#include <string_view>

namespace msivalidate {

// The five sequence tables of a package.
inline constexpr const char* kSequenceTables[] = {
    "AdminExecuteSequence", "AdminUISequence", "AdvtExecuteSequence", "InstallExecuteSequence",
    "InstallUISequence"};

// Where a standard action belongs in a sequence, between the markers
// CostInitialize, CostFinalize, InstallValidate and InstallFinalize.
enum Section : unsigned {
  kSearch = 1,         // before CostInitialize
  kCosting = 2,        // CostInitialize .. CostFinalize
  kSelection = 4,      // CostFinalize .. InstallValidate
  kExecution = 8,      // InstallValidate .. InstallFinalize
  kPostExecution = 16, // after InstallFinalize
  kAnywhere = 31,
};

const char* SectionName(Section s);

// A standard action's name, case-sensitive as the installer compares it.
bool IsStandardAction(std::string_view action);
// The sections where the action may be sequenced (kAnywhere for those
// without a section of their own, and for names that are not standard).
unsigned AllowedSections(std::string_view action);
// A standard action that writes script operations (it changes the system
// between InstallInitialize and InstallFinalize).
bool IsScriptAction(std::string_view action);

}  // namespace msivalidate
