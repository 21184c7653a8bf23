// ICE81: every digital certificate is used, and every signed object
// (MsiDigitalSignature) is a Media row whose cabinet lies outside the
// package. Whether the signatures verify needs the files: not checked.
#include <set>

#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* signature = ctx.Read("MsiDigitalSignature");
  std::set<std::string> used;
  for (const char* name : {"MsiDigitalSignature", "MsiPackageCertificate", "MsiPatchCertificate"})
    if (const Table* t = name == std::string("MsiDigitalSignature") ? signature : ctx.Read(name))
      for (const Row& row : t->rows) used.insert(t->Text(row, "DigitalCertificate_"));

  if (const Table* certificate = ctx.Read("MsiDigitalCertificate"); certificate && !certificate->rows.empty()) {
    std::vector<const Row*> unused;
    for (const Row& row : certificate->rows)
      if (!used.count(certificate->Text(row, "DigitalCertificate"))) unused.push_back(&row);
    if (unused.size() == certificate->rows.size())
      ctx.ReportAt(Severity::Warning, "MsiDigitalCertificate", "", {},
                   "No reference to any of the records in the MsiDigitalCertificate table could be found in "
                   "MsiDigitalSignature, MsiPackageCertificate, or MsiPatchCertificate tables.");
    else
      for (const Row* row : unused)
        ctx.Report(Severity::Warning, *certificate, "DigitalCertificate", *row,
                   "No reference to the Digital Certificate " + certificate->Text(*row, "DigitalCertificate") +
                       " could be found in MsiDigitalSignature, MsiPackageCertificate, or MsiPatchCertificate "
                       "tables.");
  }

  if (!signature || signature->rows.empty()) return;
  const Table* media = ctx.Read("Media");
  if (!media) {
    ctx.ReportAt(Severity::Error, "MsiDigitalSignature", "", {},
                 "Media Table does not exist. Hence all the entries in MsiDigitalSignature are incorrect");
    return;
  }
  for (const Row& row : signature->rows) {
    if (signature->Text(row, "Table") != "Media") continue;  // ICE03 reports any other table
    const std::string key = signature->Text(row, "SignObject");
    const Row* signed_media = media->Find(key);
    if (!signed_media) {
      ctx.Report(Severity::Error, *signature, "SignObject", row, "Missing signed object " + key + " in Media Table");
      continue;
    }
    if (media->Text(*signed_media, "Cabinet").starts_with('#'))
      ctx.Report(Severity::Error, *media, "Cabinet", *signed_media,
                 "The entry in table Media with key " + key +
                     " is signed. Hence the cabinet should point to an object outside the package (the value of "
                     "Cabinet should NOT be prefixed with #)");
  }
}

const Registration kICE81("ICE81", Run);

}  // namespace
}  // namespace msivalidate
