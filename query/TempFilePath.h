// Paths in the user's temporary folder for extracted streams.
#pragma once

#include <QString>

// The path with one separator at its end (unchanged when it already ends
// in '\' or '/', or is empty).
QString AddBackslash(const QString& path);

// A stream name made fit to be one file name: path separators and control
// characters become '_', so the file cannot land outside its folder.
QString SafeFileName(const QString& name);

// In the temporary folder: without `unique` and with a name, that name
// (made safe) and ".TMP"; otherwise a newly created empty file with a unique
// name starting with the name (or "BR_"). A non-empty `extension` replaces
// the ".TMP". Empty when no path can be given.
QString GetTempFilePath(bool unique, const QString& name, const QString& extension);
// The same in `folder` instead of the temporary folder.
QString GetTempFilePathIn(const QString& folder, bool unique, const QString& name,
                          const QString& extension);
