// msisql --make-transform, --apply-transform, --show-transform and --diff:
// transforms made, applied and shown as readable change lists.
#pragma once

// Exit status as msisql's: 0, 1 after an error line, 2 for a usage error.
int MakeTransform(const char* old_package, const char* new_package, const char* out);
// argv: [--suppress FLAGS] PACKAGE TRANSFORM...
int ApplyTransforms(int argc, char** argv);
// One argument: a patch, whose transforms are listed and shown; two: a
// package and a transform.
int ShowTransform(int argc, char** argv);
int DiffPackages(const char* old_package, const char* new_package);
