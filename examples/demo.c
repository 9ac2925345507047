/*
 * demo.c - "survey": the typical request of a product's program, done for
 * real with qorb32n.
 *
 * It reports through the console and the day's log file, parses its command
 * line against an option table, reads its settings from a configuration
 * file into a record described by field descriptors (a structure, a list of
 * structures and a list of strings), surveys the listed folders on the
 * worker pool, writes the settings it used back out, records its findings
 * as tagged records, and ends with every tracked block given back.
 */
#include <stdio.h>
#include <string.h>

#include "qorb32n.h"

#define SOURCE "C:\\work\\examples\\survey.c"

/* ---- The settings record and its descriptors ---------------------------- */

#pragma pack(push, 1)
typedef struct Folder {
  char *path;       /* a tracked string */
  char pattern[16]; /* which files count */
  uint32_t files;   /* found by the survey, written back */
} Folder;

typedef struct Limits {
  uint32_t workers;  /* threads of the pool */
  uint32_t maxFiles; /* files to count at most in one folder */
} Limits;

typedef struct Settings {
  char title[40];
  uint32_t verbosity; /* which reports are shown */
  uint32_t interval;  /* seconds until the next survey */
  RealTime lastRun;
  LstList *ignore;  /* tracked strings: name patterns left out */
  Limits limits;    /* section "Survey Limits" */
  LstList *folders; /* sections "Survey Folder 1", "Survey Folder 2", ... */
} Settings;
#pragma pack(pop)

static const Fdsc kIgnored = {0, "Ignore", 0, FDSC_STRINGPTR, 1, NULL, NULL};

static const Sdsc kFolderFields = {
    3, 0, sizeof(Folder), 0,
    {{0, "Path", 0, FDSC_STRINGPTR, 1, NULL, NULL},
     {0, "Pattern", 0, FDSC_STRING, 16, NULL, NULL},
     {0, "Files", 0, FDSC_ULONG, 1, NULL, NULL}}};

static const Sdsc kLimitsFields = {2, 0, sizeof(Limits), 0,
                                   {{0, "Workers", 0, FDSC_ULONG, 1, NULL, NULL},
                                    {0, "Max Files", 0, FDSC_ULONG, 1, NULL, NULL}}};

/* Lists of plain elements come before the nested structures, so that their
 * keys are written into the record's own section. */
static const Sdsc kSettingsFields = {7, 0, sizeof(Settings), 0,
                                     {{0, "Title", 0, FDSC_STRING, 40, NULL, NULL},
                                      {0, "Verbosity", 0, FDSC_VERBOSITY, 1, NULL, NULL},
                                      {0, "Interval", 0, FDSC_DURATION, 1, NULL, NULL},
                                      {0, "Last Run", 0, FDSC_REALTIME, 1, NULL, NULL},
                                      {0, "Ignore", 0, FDSC_LIST, 1, NULL, &kIgnored},
                                      {0, "Limits", 0, FDSC_STRUCT, 1, NULL, &kLimitsFields},
                                      {0, "Folder", 0, FDSC_STRUCTLIST, 1, NULL, &kFolderFields}}};

static const Fdsc kSurvey = {0, "Survey", 0, FDSC_STRUCT, 1, NULL, &kSettingsFields};

/* ---- The command line --------------------------------------------------- */

enum { kHelpConfig = 201, kHelpOutput, kHelpVerbose };

#define SWITCH(letter, name, key) {0, 1, letter, 0, 0, key, CMD_TYPE_BOOLEAN, "", name, "", {0}}
#define TEXT_ARGUMENT(letter, name, key, text) \
  {0, 0, letter, 0, 0, key, CMD_TYPE_STRING, "", name, text, {0}}

static CmdOptionStruct options[] = {
    SWITCH('c', "configuration", kHelpConfig),
    TEXT_ARGUMENT('c', "configuration file", kHelpConfig, "demo.ini"),
    SWITCH('o', "output", kHelpOutput),
    TEXT_ARGUMENT('o', "settings written back", kHelpOutput, "effective.ini"),
    SWITCH('v', "verbose", kHelpVerbose),
};
#define OPTION_COUNT ((uint32_t)(sizeof options / sizeof options[0]))
#define CONFIG_PATH options[1].assignedValue.stringValue
#define OUTPUT_PATH options[3].assignedValue.stringValue
#define VERBOSE options[4].assignedValue.booleanValue

static const CmdHelpEntry help[] = {
    {kHelpConfig,
     "-c file    The configuration file to survey by (default demo.ini): a\n"
     "           [ Survey ] section, [ Survey Limits ] and one\n"
     "           [ Survey Folder n ] section per folder.\n"},
    {kHelpOutput, "-o file    Where the settings actually used are written back.\n"},
    {kHelpVerbose, "-v         Also list every file that counts.\n"},
    {0, NULL}};

/* Answers a help request or a mistake on the command line: 1 when the
 * program should go on, else 0 (help given) or 2 (a mistake). */
static int HandleCommandLine(const CmdParseResult *parsed) {
  const CmdHelpEntry *entry;
  if (parsed->code == CMD_RC_OK || parsed->code == CMD_RC_NO_ARGUMENTS) return 1;
  if (parsed->code == CMD_RC_FULL_HELP) {
    CmdDisplayFullHelp(stdout, help, 24);
    return 0;
  }
  if (parsed->message[0] != '\0') printf("%s\n", parsed->message);
  for (entry = help; entry->helpKey != 0; ++entry) {
    if (entry->helpKey == parsed->code && parsed->message[0] == '\0') {
      fputs(entry->text, stdout);
      return 0;
    }
  }
  CmdDisplaySyntax(stdout, options, OPTION_COUNT, "survey");
  return parsed->message[0] != '\0' ? 2 : 0;
}

/* ---- The survey of one folder, run on a worker ------------------------- */

typedef struct Job {
  Folder *folder;
  const Settings *settings;
  SemMutexHandle *fileLock; /* the file calls use the process's working directory */
  SemEventHandle done;
  uint32_t verbose;
  uint32_t ignored;
  uint32_t subfolders;
} Job;

static int IsIgnored(const Settings *settings, const char *name) {
  const LstItem *item;
  for (item = settings->ignore ? settings->ignore->first : NULL; item; item = item->next) {
    if (FilFileMatch((const char *)item->data, name)) return 1;
  }
  return 0;
}

static void CountFiles(Job *job) {
  char pattern[260], found[260];
  FilListing *listing = NULL;
  snprintf(pattern, sizeof pattern, "%s%s", job->folder->path, job->folder->pattern);
  while (FilGetNextPathName(&listing, pattern, found, 0)) {
    FilFileNameOf(found);
    if (IsIgnored(job->settings, found)) {
      ++job->ignored;
    } else if (job->folder->files < job->settings->limits.maxFiles) {
      ++job->folder->files;
      if (job->verbose) printf("    %s\n", found);
    }
  }
}

static void CountSubfolders(Job *job) {
  char found[260];
  FilListing *listing = NULL;
  while (FilGetNextPath(&listing, job->folder->path, found)) {
    FilDirNameOf(found);
    if (strcmp(found, ".") != 0 && strcmp(found, "..") != 0) ++job->subfolders;
  }
}

static void SurveyFolder(uintptr_t argument) {
  Job *job = (Job *)argument;
  SemRequestMutex(job->fileLock, SEM_INDEFINITE_WAIT);
  CountFiles(job);
  CountSubfolders(job);
  SemReleaseMutex(job->fileLock);
  SemPostEvent(&job->done);
}

/* ---- The request -------------------------------------------------------- */

static void PresetDefaults(Settings *settings) {
  memset(settings, 0, sizeof *settings);
  strcpy(settings->title, "Survey");
  settings->verbosity = ERR_SEV_ERROR | ERR_SEV_WARNING;
  settings->interval = 3600;
  settings->limits.workers = 2;
  settings->limits.maxFiles = 100000;
}

static int ReadSettings(Settings *settings, const char *path) {
  IniFile *file = IniOpen(path, INI_MODE_READ);
  uint32_t status;
  if (file == NULL) {
    ErrPutError(NULL, 0.0, ERR_SEV_ERROR, 2, SOURCE, __LINE__, NULL,
                "cannot read the configuration file %s", path);
    return 0;
  }
  status = IniRead(file, settings, &kSurvey);
  IniClose(file);
  printf("Read %s: \"%s\", %lu folder(s), %lu name pattern(s) to leave out%s.\n", path,
         settings->title, (unsigned long)(settings->folders ? settings->folders->count : 0),
         (unsigned long)(settings->ignore ? settings->ignore->count : 0),
         status == 0 ? "" : "; some keys were missing and kept their defaults");
  return 1;
}

/* Checks each folder, then hands the ones that exist to the pool and waits
 * for all of them. */
static void Survey(Settings *settings, uint32_t verbose) {
  Job jobs[32];
  uint32_t count = 0, i;
  SemMutexHandle fileLock = 0;
  SemEventHandle pause = 0; /* never posted: a wait on it is a short pause */
  LstItem *item;

  SemCreateMutex(&fileLock, NULL, 0, 0);
  ThdInitialize(settings->limits.workers);
  for (item = settings->folders ? settings->folders->first : NULL; item && count < 32;
       item = item->next) {
    Folder *folder = (Folder *)item->data;
    char path[260];
    folder->files = 0;
    if (folder->path == NULL || FilNormalizePath(path, folder->path) == NULL ||
        !FilPathExists(path)) {
      /* The failure a real program reports: it lands on the console and in
       * the day's log file. */
      printf("Folder %s is not there; reported as an error:\n", folder->path ? folder->path : "");
      ErrRcError(SOURCE, __LINE__, 3);
      continue;
    }
    MemFreeStringAlloc_(&folder->path, path, __LINE__, SOURCE);
    memset(&jobs[count], 0, sizeof jobs[count]);
    jobs[count].folder = folder;
    jobs[count].settings = settings;
    jobs[count].fileLock = &fileLock;
    jobs[count].verbose = verbose;
    SemCreateEvent(&jobs[count].done, NULL, 0, 0);
    ThdStartThreadFull(SurveyFolder, (uintptr_t)&jobs[count], 0, 15, THD_SET_PRIORITY);
    ++count;
  }
  for (i = 0; i < count; ++i) {
    SemWaitEvent(&jobs[i].done, SEM_INDEFINITE_WAIT);
    printf("  %-28s %6lu file(s) matching %-8s %4lu left out, %4lu subfolder(s)\n",
           jobs[i].folder->path, (unsigned long)jobs[i].folder->files, jobs[i].folder->pattern,
           (unsigned long)jobs[i].ignored, (unsigned long)jobs[i].subfolders);
  }
  /* A worker posts its job's event before it is back in the pool: the pool is
   * released once no job runs, so wait a moment while one still does. */
  SemCreateEvent(&pause, NULL, 0, 0);
  while (ThdTerminate() != 0) SemWaitEvent(&pause, 1);
  SemCloseEvent(&pause);
  for (i = 0; i < count; ++i) SemCloseEvent(&jobs[i].done);
  SemCloseMutex(&fileLock);
}

static void WriteSettings(Settings *settings, const char *path) {
  IniFile *file = IniOpen(path, INI_MODE_WRITE);
  char when[25];
  if (file == NULL) {
    ErrPutError(NULL, 0.0, ERR_SEV_ERROR, 2, SOURCE, __LINE__, NULL, "cannot write %s", path);
    return;
  }
  settings->lastRun = TmeGetRealTime();
  IniWrite(file, settings, &kSurvey);
  IniClose(file);
  printf("Wrote the settings used, with the counts and the time of this run (%s), to %s.\n",
         TmeRealTimeToString(settings->lastRun, when), path);
}

static void FreeSettings(Settings *settings) {
  LstItem *item;
  for (item = settings->folders ? settings->folders->first : NULL; item; item = item->next) {
    MemFreeString_(((Folder *)item->data)->path);
  }
  if (settings->folders) {
    LstDeleteAllBoth(settings->folders);
    LstFreeList_(settings->folders);
  }
  if (settings->ignore) {
    LstDeleteAllBoth(settings->ignore);
    LstFreeList_(settings->ignore);
  }
}

int main(int argc, char *argv[]) {
  Settings settings;
  CmdParseResult *parsed;
  uint32_t bytes = 0, blocks = 0;
  int proceed;

  /* Reports go to standard output and to the day's log file "survey.<date>.log". */
  ErrInitialize(ERR_MODE_BOTH, "survey", 0, 0, 0, 0);
  BaseSetVerbosity(ERR_SEV_ERROR | ERR_SEV_WARNING);

  parsed = CmdParseCmdLine(argc, argv, options, OPTION_COUNT);
  if (parsed == NULL) return 1;
  proceed = HandleCommandLine(parsed);
  MemFreeMem_(parsed);
  if (proceed != 1) return proceed;

  PresetDefaults(&settings);
  if (!ReadSettings(&settings, CONFIG_PATH)) return 1;
  BaseSetVerbosity(settings.verbosity);
  printf("Surveying on %lu worker thread(s):\n", (unsigned long)settings.limits.workers);
  Survey(&settings, VERBOSE);
  WriteSettings(&settings, OUTPUT_PATH);
  FreeSettings(&settings);

  MemQueryStatus(&bytes, &blocks);
  printf("The allocator holds %lu bytes in %lu blocks: %s.\n", (unsigned long)bytes,
         (unsigned long)blocks, blocks == 0 ? "everything was given back" : "a leak");
  return blocks == 0 ? 0 : 3;
}
