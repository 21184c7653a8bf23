/*
 * msi-tables: prints each table of a Windows Installer package with its
 * number of rows, then the product's name and version.
 *
 * Written against the installer SDK's names; built with
 *   cc -o msi-tables msi-tables.c $(pkg-config --cflags --libs msiengine)
 * Run:
 *   ./msi-tables Setup.msi
 */
#include <msiquery.h>
#include <stdio.h>
#include <stdlib.h>

static int report(const char *what, UINT r) {
  const char *text = MsiExtResultDescriptionA(r);
  fprintf(stderr, "msi-tables: %s: error %u: %s\n", what, (unsigned)r,
          text != NULL ? text : "unknown error");
  return 1;
}

/* Field 1 of a record as text; the caller frees it. The first call asks
 * for the length, the second fills a buffer of that size. */
static char *field_text(MSIHANDLE record) {
  DWORD length = 0;
  if (MsiRecordGetStringA(record, 1, NULL, &length) != ERROR_SUCCESS) return NULL;
  char *text = malloc(length + 1);
  if (text == NULL) return NULL;
  length += 1;
  if (MsiRecordGetStringA(record, 1, text, &length) != ERROR_SUCCESS) {
    free(text);
    return NULL;
  }
  return text;
}

/* Runs a statement; with a parameter, that is the text for its one `?`. */
static UINT open_view(MSIHANDLE db, const char *query, const char *parameter,
                      MSIHANDLE *view) {
  UINT r = MsiDatabaseOpenViewA(db, query, view);
  if (r != ERROR_SUCCESS) return r;
  MSIHANDLE params = 0;
  if (parameter != NULL) {
    params = MsiCreateRecord(1);
    MsiRecordSetStringA(params, 1, parameter);
  }
  r = MsiViewExecute(*view, params);
  MsiCloseHandle(params);
  return r;
}

static UINT count_rows(MSIHANDLE db, const char *table, unsigned long *rows) {
  char query[512];
  snprintf(query, sizeof query, "SELECT * FROM `%s`", table);
  MSIHANDLE view = 0, record = 0;
  UINT r = open_view(db, query, NULL, &view);
  *rows = 0;
  while (r == ERROR_SUCCESS && (r = MsiViewFetch(view, &record)) == ERROR_SUCCESS) {
    ++*rows;
    MsiCloseHandle(record);
  }
  MsiCloseHandle(view);
  return r == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : r;
}

static void print_property(MSIHANDLE db, const char *name) {
  MSIHANDLE view = 0, record = 0;
  if (open_view(db, "SELECT `Value` FROM `Property` WHERE `Property` = ?", name,
                &view) == ERROR_SUCCESS &&
      MsiViewFetch(view, &record) == ERROR_SUCCESS) {
    char *value = field_text(record);
    printf("%s: %s\n", name, value != NULL ? value : "");
    free(value);
    MsiCloseHandle(record);
  }
  MsiCloseHandle(view);
}

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "Usage: msi-tables PACKAGE\n");
    return 2;
  }
  MSIHANDLE db = 0, tables = 0, record = 0;
  UINT r = MsiOpenDatabaseA(argv[1], MSIDBOPEN_READONLY_A, &db);
  if (r != ERROR_SUCCESS) return report(argv[1], r);
  r = open_view(db, "SELECT `Name` FROM `_Tables`", NULL, &tables);
  int status = 0;
  while (r == ERROR_SUCCESS && (r = MsiViewFetch(tables, &record)) == ERROR_SUCCESS) {
    char *name = field_text(record);
    unsigned long rows = 0;
    UINT counted = name != NULL ? count_rows(db, name, &rows) : ERROR_NOT_ENOUGH_MEMORY;
    if (counted == ERROR_SUCCESS) {
      printf("%s\t%lu\n", name, rows);
    } else {
      status = report(name != NULL ? name : "table name", counted);
    }
    free(name);
    MsiCloseHandle(record);
  }
  if (r != ERROR_NO_MORE_ITEMS) status = report("_Tables", r);
  MsiCloseHandle(tables);
  print_property(db, "ProductName");
  print_property(db, "ProductVersion");
  MsiCloseHandle(db);
  return status;
}
