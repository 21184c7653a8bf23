/*
 * libmsi_sql - runs statements on a package through libmsi and prints the
 * results in exactly the format of msisql, so the differential tests can
 * compare the two byte for byte. Test-only: nothing in the product links
 * libmsi.
 *
 *   libmsi_sql PACKAGE STATEMENT...
 *
 * One line of column names per SELECT, then one line per row; fields are
 * separated by a TAB, null prints nothing, texts escape \ TAB LF CR, stream
 * fields print "<N bytes>". The first failure prints
 * "libmsi_sql: error N: ..." with N the installer's result code and exits 1;
 * usage errors exit 2.
 */
#include <libmsi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* libmsi reports failures as its own enum; callers compare installer codes. */
static unsigned installer_code(const GError *error, unsigned without_reason)
{
    if (error == NULL)
        return without_reason;
    if (error->domain != LIBMSI_RESULT_ERROR)
        return 110; /* the file layer (gsf, gio) failed: the open failed */
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

static int fail_as(const char *step, GError *error, unsigned without_reason)
{
    fflush(stdout);
    fprintf(stderr, "libmsi_sql: error %u: %s: %s\n", installer_code(error, without_reason), step,
            error != NULL ? error->message : "failed without a reason");
    if (error != NULL)
        g_error_free(error);
    return 1;
}

static int fail(const char *step, GError *error)
{
    return fail_as(step, error, 1627);
}

static void put_text(const char *text)
{
    for (const char *p = text; *p != '\0'; ++p) {
        switch (*p) {
        case '\\': fputs("\\\\", stdout); break;
        case '\t': fputs("\\t", stdout); break;
        case '\n': fputs("\\n", stdout); break;
        case '\r': fputs("\\r", stdout); break;
        default: putchar(*p); break;
        }
    }
}

/* The size of a stream field, by reading it: libmsi gives no size call. */
static gboolean stream_size(GInputStream *in, unsigned long long *size, GError **error)
{
    char buffer[65536];
    *size = 0;
    for (;;) {
        gssize got = g_input_stream_read(in, buffer, sizeof buffer, NULL, error);
        if (got < 0)
            return FALSE;
        if (got == 0)
            return TRUE;
        *size += (unsigned long long)got;
    }
}

static int put_field(LibmsiRecord *rec, guint field, const char *step)
{
    if (libmsi_record_is_null(rec, field))
        return 0;
    GInputStream *in = libmsi_record_get_stream(rec, field);
    if (in != NULL) {
        GError *error = NULL;
        unsigned long long size = 0;
        gboolean ok = stream_size(in, &size, &error);
        g_object_unref(in);
        if (!ok)
            return fail(step, error);
        printf("<%llu bytes>", size);
        return 0;
    }
    gchar *text = libmsi_record_get_string(rec, field);
    if (text != NULL)
        put_text(text);
    g_free(text);
    return 0;
}

static int put_record(LibmsiRecord *rec, const char *step)
{
    guint count = libmsi_record_get_field_count(rec);
    for (guint i = 1; i <= count; ++i) {
        if (i > 1)
            putchar('\t');
        if (put_field(rec, i, step) != 0)
            return 1;
    }
    putchar('\n');
    return 0;
}

/* Only SELECT prints: column names, then rows (as msisql). */
static gboolean is_select(const char *statement)
{
    while (g_ascii_isspace(*statement))
        ++statement;
    return g_ascii_strncasecmp(statement, "SELECT", 6) == 0 &&
           !g_ascii_isalnum(statement[6]) && statement[6] != '_';
}

/* Failures name the statement's place among the arguments (1 for the first
 * statement) so that a caller running many statements at once knows which
 * one failed. */
static int run_statement(LibmsiDatabase *db, const char *statement, int number)
{
    char step[64];
    GError *error = NULL;
    LibmsiQuery *query = libmsi_query_new(db, statement, &error);
    if (query == NULL)
    {
        snprintf(step, sizeof step, "statement %d: opening the view", number);
        return fail(step, error);
    }
    int status = 0;
    if (!libmsi_query_execute(query, NULL, &error)) {
        snprintf(step, sizeof step, "statement %d: executing the view", number);
        status = fail(step, error);
        goto done;
    }
    if (!is_select(statement))
        goto done;
    LibmsiRecord *names = libmsi_query_get_column_info(query, LIBMSI_COL_INFO_NAMES, &error);
    if (names == NULL) {
        snprintf(step, sizeof step, "statement %d: reading the column names", number);
        status = fail(step, error);
        goto done;
    }
    snprintf(step, sizeof step, "statement %d: reading a stream", number);
    status = put_record(names, step);
    g_object_unref(names);
    while (status == 0) {
        LibmsiRecord *row = libmsi_query_fetch(query, &error);
        if (row == NULL) {
            /* libmsi answers the end of the rows with no record and no error */
            if (error != NULL) {
                snprintf(step, sizeof step, "statement %d: fetching a row", number);
                status = fail(step, error);
            }
            break;
        }
        status = put_record(row, step);
        g_object_unref(row);
    }
done:
    libmsi_query_close(query, NULL);
    g_object_unref(query);
    return status;
}

int main(int argc, char **argv)
{
    if (argc < 2 || strcmp(argv[1], "--help") == 0) {
        fprintf(argc < 2 ? stderr : stdout,
                "usage: libmsi_sql PACKAGE STATEMENT...\n"
                "Runs each statement on the package through libmsi and prints\n"
                "the results as msisql does (test oracle).\n");
        return argc < 2 ? 2 : 0;
    }
    GError *error = NULL;
    LibmsiDatabase *db = libmsi_database_new(argv[1], LIBMSI_DB_FLAGS_READONLY, NULL, &error);
    if (db == NULL)
        /* libmsi often fails an open without saying why */
        return fail_as("opening the package", error, 110);
    int status = 0;
    for (int i = 2; i < argc && status == 0; ++i)
        status = run_statement(db, argv[i], i - 1);
    g_object_unref(db);
    if (fflush(stdout) != 0 && status == 0) {
        fprintf(stderr, "libmsi_sql: error 29: writing the output failed\n");
        status = 1;
    }
    return status;
}
