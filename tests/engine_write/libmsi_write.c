/*
 * libmsi_write - the write-side test oracle: runs changing statements on a
 * package through libmsi and commits the result to OUTPUT.
 *
 *   libmsi_write PACKAGE OUTPUT [params:FIELDS] STATEMENT...
 *
 * "params:" sets the marker values of the next statement, fields separated
 * by '|': "i:N" an integer, "s:TEXT" a string, "n" null. Every statement
 * prints "N\n" with N its installer result code (0 on success) and the run
 * goes on, so that a caller can compare the codes one by one; then
 * "commit N\n". "transform:FILE" in place of a statement applies that
 * transform. Test-only: nothing in the product links libmsi.
 */
#include <libmsi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static unsigned code_of(const GError *error)
{
    if (error == NULL)
        return 1627;
    if (error->domain != LIBMSI_RESULT_ERROR)
        return 110;
    switch ((LibmsiResultError)error->code) {
    case LIBMSI_RESULT_SUCCESS: return 0;
    case LIBMSI_RESULT_ACCESS_DENIED: return 5;
    case LIBMSI_RESULT_INVALID_HANDLE: return 6;
    case LIBMSI_RESULT_NOT_ENOUGH_MEMORY: return 8;
    case LIBMSI_RESULT_INVALID_DATA: return 13;
    case LIBMSI_RESULT_OUTOFMEMORY: return 14;
    case LIBMSI_RESULT_INVALID_PARAMETER: return 87;
    case LIBMSI_RESULT_OPEN_FAILED: return 110;
    case LIBMSI_RESULT_CALL_NOT_IMPLEMENTED: return 120;
    case LIBMSI_RESULT_MORE_DATA: return 234;
    case LIBMSI_RESULT_NOT_FOUND: return 1168;
    case LIBMSI_RESULT_CONTINUE: return 1246;
    case LIBMSI_RESULT_UNKNOWN_PROPERTY: return 1608;
    case LIBMSI_RESULT_BAD_QUERY_SYNTAX: return 1615;
    case LIBMSI_RESULT_INVALID_FIELD: return 1616;
    case LIBMSI_RESULT_FUNCTION_FAILED: return 1627;
    case LIBMSI_RESULT_INVALID_TABLE: return 1628;
    case LIBMSI_RESULT_DATATYPE_MISMATCH: return 1629;
    case LIBMSI_RESULT_INVALID_DATATYPE: return 1804;
    }
    return 1627;
}

static LibmsiRecord *make_params(const char *text)
{
    gchar **fields = g_strsplit(text, "|", -1);
    guint count = g_strv_length(fields);
    LibmsiRecord *rec = libmsi_record_new(count);
    for (guint i = 0; i < count; ++i) {
        const char *f = fields[i];
        if (strncmp(f, "i:", 2) == 0)
            libmsi_record_set_int(rec, i + 1, atoi(f + 2));
        else if (strncmp(f, "s:", 2) == 0)
            libmsi_record_set_string(rec, i + 1, f + 2);
    }
    g_strfreev(fields);
    return rec;
}

static unsigned run(LibmsiDatabase *db, const char *statement, LibmsiRecord *params)
{
    GError *error = NULL;
    LibmsiQuery *query = libmsi_query_new(db, statement, &error);
    if (query == NULL) {
        unsigned code = code_of(error);
        g_clear_error(&error);
        return code;
    }
    unsigned code = 0;
    if (!libmsi_query_execute(query, params, &error)) {
        code = code_of(error);
        g_clear_error(&error);
    }
    libmsi_query_close(query, NULL);
    g_object_unref(query);
    return code;
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: libmsi_write PACKAGE OUTPUT [params:FIELDS] STATEMENT...\n");
        return 2;
    }
    GError *error = NULL;
    LibmsiDatabase *db = libmsi_database_new(argv[1], LIBMSI_DB_FLAGS_TRANSACT, argv[2], &error);
    if (db == NULL) {
        printf("open %u\n", code_of(error));
        return 1;
    }
    LibmsiRecord *params = NULL;
    for (int i = 3; i < argc; ++i) {
        if (strncmp(argv[i], "params:", 7) == 0) {
            params = make_params(argv[i] + 7);
            continue;
        }
        if (strncmp(argv[i], "transform:", 10) == 0) {
            gboolean ok = libmsi_database_apply_transform(db, argv[i] + 10, &error);
            printf("%u\n", ok ? 0 : code_of(error));
            g_clear_error(&error);
            continue;
        }
        printf("%u\n", run(db, argv[i], params));
        if (params != NULL)
            g_object_unref(params);
        params = NULL;
    }
    unsigned code = libmsi_database_commit(db, &error) ? 0 : code_of(error);
    g_clear_error(&error);
    printf("commit %u\n", code);
    g_object_unref(db);
    return 0;
}
