/*
 * libmsi_summary - the summary information and merge oracle: libmsi's
 * answers in a plain format the tests compare with the engine's.
 * Test-only: nothing in the product links libmsi.
 *
 *   libmsi_summary show PACKAGE
 *       one line per set property 1..19: "PID<TAB>KIND<TAB>VALUE", KIND
 *       I (integer), S (text, \ TAB LF CR escaped) or F (file time ticks)
 *   libmsi_summary set PACKAGE PID=KIND:VALUE...
 *       sets the properties, persists and commits
 *   libmsi_summary merge PACKAGE OTHER [ERROR_TABLE]
 *       merges OTHER into PACKAGE, prints "merge N" (N the installer's
 *       result code) and commits whatever the merge left
 *
 * Failures print "libmsi_summary: error N: ..." and exit 1; usage errors
 * exit 2.
 */
#include <libmsi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static unsigned installer_code(const GError *error)
{
    if (error == NULL)
        return 1627;
    if (error->domain != LIBMSI_RESULT_ERROR)
        return 110;
    switch ((LibmsiResultError)error->code) {
    case LIBMSI_RESULT_SUCCESS: return 0;
    case LIBMSI_RESULT_INVALID_DATA: return 13;
    case LIBMSI_RESULT_INVALID_PARAMETER: return 87;
    case LIBMSI_RESULT_OPEN_FAILED: return 110;
    case LIBMSI_RESULT_UNKNOWN_PROPERTY: return 1608;
    case LIBMSI_RESULT_BAD_QUERY_SYNTAX: return 1615;
    case LIBMSI_RESULT_INVALID_TABLE: return 1628;
    case LIBMSI_RESULT_DATATYPE_MISMATCH: return 1629;
    default: return 1627;
    }
}

static int fail(const char *step, GError *error)
{
    fflush(stdout);
    fprintf(stderr, "libmsi_summary: error %u: %s: %s\n", installer_code(error), step,
            error != NULL ? error->message : "failed without a reason");
    if (error != NULL)
        g_error_free(error);
    return 1;
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

static int show(LibmsiDatabase *db)
{
    GError *error = NULL;
    LibmsiSummaryInfo *si = libmsi_summary_info_new(db, 0, &error);
    if (si == NULL)
        return fail("reading the summary information", error);
    for (unsigned pid = 1; pid <= 19; ++pid) {
        LibmsiPropertyType type = libmsi_summary_info_get_property_type(si, pid, &error);
        if (error != NULL)
            return fail("reading a property type", error);
        switch (type) {
        case LIBMSI_PROPERTY_TYPE_INT:
            printf("%u\tI\t%d\n", pid, libmsi_summary_info_get_int(si, pid, &error));
            break;
        case LIBMSI_PROPERTY_TYPE_STRING: {
            const gchar *text = libmsi_summary_info_get_string(si, pid, &error);
            printf("%u\tS\t", pid);
            put_text(text != NULL ? text : "");
            putchar('\n');
            break;
        }
        case LIBMSI_PROPERTY_TYPE_FILETIME:
            printf("%u\tF\t%llu\n", pid,
                   (unsigned long long)libmsi_summary_info_get_filetime(si, pid, &error));
            break;
        default:
            break;
        }
        if (error != NULL)
            return fail("reading a property", error);
    }
    g_object_unref(si);
    return 0;
}

static int set(LibmsiDatabase *db, int count, char **assignments)
{
    GError *error = NULL;
    LibmsiSummaryInfo *si = libmsi_summary_info_new(db, (unsigned)count, &error);
    if (si == NULL)
        return fail("reading the summary information", error);
    for (int i = 0; i < count; ++i) {
        char kind = 0;
        unsigned pid = 0;
        int used = 0;
        if (sscanf(assignments[i], "%u=%c:%n", &pid, &kind, &used) != 2 || used == 0) {
            fprintf(stderr, "libmsi_summary: not PID=KIND:VALUE: %s\n", assignments[i]);
            return 2;
        }
        const char *value = assignments[i] + used;
        gboolean ok = FALSE;
        if (kind == 'I')
            ok = libmsi_summary_info_set_int(si, pid, atoi(value), &error);
        else if (kind == 'F')
            ok = libmsi_summary_info_set_filetime(si, pid, strtoull(value, NULL, 10), &error);
        else
            ok = libmsi_summary_info_set_string(si, pid, value, &error);
        if (!ok)
            return fail(assignments[i], error);
    }
    if (!libmsi_summary_info_persist(si, &error))
        return fail("persisting", error);
    g_object_unref(si);
    if (!libmsi_database_commit(db, &error))
        return fail("committing", error);
    return 0;
}

static int merge(LibmsiDatabase *db, const char *other_path, const char *table)
{
    GError *error = NULL;
    LibmsiDatabase *other = libmsi_database_new(other_path, LIBMSI_DB_FLAGS_READONLY, NULL, &error);
    if (other == NULL)
        return fail("opening the database to merge", error);
    unsigned code = 0;
    if (!libmsi_database_merge(db, other, table, &error)) {
        code = installer_code(error);
        g_clear_error(&error);
    }
    printf("merge %u\n", code);
    g_object_unref(other);
    if (!libmsi_database_commit(db, &error))
        return fail("committing", error);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    const gboolean show_only = strcmp(argv[1], "show") == 0;
    if (!show_only && strcmp(argv[1], "set") != 0 && strcmp(argv[1], "merge") != 0)
        return 2;
    GError *error = NULL;
    LibmsiDatabase *db = libmsi_database_new(
        argv[2], show_only ? LIBMSI_DB_FLAGS_READONLY : LIBMSI_DB_FLAGS_TRANSACT, NULL, &error);
    if (db == NULL)
        return fail("opening the package", error);
    int rc;
    if (show_only)
        rc = show(db);
    else if (strcmp(argv[1], "set") == 0)
        rc = set(db, argc - 3, argv + 3);
    else
        rc = argc < 4 ? 2 : merge(db, argv[3], argc > 4 ? argv[4] : NULL);
    g_object_unref(db);
    return rc;
}
