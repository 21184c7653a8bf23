// The installer's text archive format (.idt): one table a file, three
// header lines (column names, column types, table name and keys), control
// characters translated, binary fields as files in a folder named after
// the table.
#pragma once

#include <string>

#include "status.h"
#include "storage/database.h"

namespace msi {

// Replaces (or creates) the table the file holds. `_ForceCodepage` sets the
// database codepage; `_Streams` adds streams.
Status ImportIdt(Database& db, const std::string& folder, const std::string& file);
Status ExportIdt(Database& db, const std::string& table, const std::string& folder,
                 const std::string& file);

// Control characters in values as the archive writes them (a TAB, LF or
// CR would split fields and rows) and back.
std::string ArchiveEscape(const std::string& s);
std::string ArchiveUnescape(const std::string& s);

// The column type word for an archive type such as s72, L0, I2, v0;
// nullopt for text that is none.
std::optional<uint16_t> ParseArchiveType(const std::string& text);

}  // namespace msi
