/*
 * qorb32n.h - the public interface of the qorb32n base run-time library.
 *
 * Plain C99, usable from C and C++. Every exported function, the records that
 * cross the interface (in their documented field order) and the constants are
 * declared here. Records keep their 32-bit layout on a 32-bit build; on a
 * 64-bit host pointers take their native width in memory, while everything
 * that leaves the process (the sink record, log lines, packed blocks, tagged
 * records) stays byte-exact.
 *
 * Results, unless a function says otherwise: the Sem family and the error
 * table return 0 for success, 258 for a wait that timed out, otherwise the
 * platform's error code; the Mem and Lst families return 1 (or a pointer)
 * for success and 0 (or NULL) for refusal.
 */
#ifndef QORB32N_H
#define QORB32N_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#if defined(_WIN32)
#if defined(QORB32N_BUILD)
#define QORB_API __declspec(dllexport)
#elif defined(QORB32N_STATIC)
/* Linked from the static library: plain calls, no DLL import table. */
#define QORB_API
#else
#define QORB_API __declspec(dllimport)
#endif
#else
#define QORB_API __attribute__((visibility("default")))
#endif

#if defined(__GNUC__)
#define QORB_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QORB_PRINTF(fmt, args)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------ */
/* Common values                                                            */
/* ------------------------------------------------------------------------ */

/* Seconds since 1970-01-01 00:00:00, the fraction of a second in the
 * fraction; no time zone is ever applied. */
typedef double RealTime;

/* Wait without limit (milliseconds). */
#define SEM_INDEFINITE_WAIT 0xFFFFFFFFu
/* Result of a wait that ended by its time-out. */
#define SEM_RC_TIMEOUT 258u
/* Result of an operation the platform does not support. */
#define SEM_RC_NOT_SUPPORTED 50u

/* ------------------------------------------------------------------------ */
/* Error reporting                                                          */
/* ------------------------------------------------------------------------ */

/* Severity codes; the same bits form the verbosity mask. Define
 * QORB32N_NO_SEVERITY_NAMES before including this header to keep these short
 * names out of a program's name space (the ERR_SEV_ forms stay). */
#define ERR_SEV_ERROR 0x8000u
#define ERR_SEV_WARNING 0x4000u
#define ERR_SEV_INFO 0x2000u
#define ERR_SEV_DEBUG 0x1000u
#ifndef QORB32N_NO_SEVERITY_NAMES
enum ErrSeverity {
  Error = 0x8000,
  Warning = 0x4000,
  Info = 0x2000,
  Debug = 0x1000,
  Area1 = 0x0001,
  Area2 = 0x0002,
  Area3 = 0x0004,
  Area4 = 0x0008,
  Area5 = 0x0010,
  Area6 = 0x0020,
  Area7 = 0x0040,
  Area8 = 0x0080,
  Area9 = 0x0100,
  Area10 = 0x0200,
  Area11 = 0x0400,
  Area12 = 0x0800
};
#endif

/* The report channels that ErrInitialize selects. */
#define ERR_MODE_SINK 1u     /* external sink function */
#define ERR_MODE_TABLE 2u    /* error table and message box */
#define ERR_MODE_CONSOLE 3u  /* standard output */
#define ERR_MODE_CALLBACK 4u /* caller's report callback */
#define ERR_MODE_BOTH 5u     /* standard output and the daily log file */
#define ERR_MODE_LOG 6u      /* the daily log file */

/* One entry of the error table. */
typedef struct ErrEntry {
  uint32_t severity;
  uint32_t number;
  char text[256]; /* the formatted message, always NUL-terminated */
  uint32_t line;
  const char *file; /* points into the reporter's string, not copied */
  uint32_t link;    /* an earlier slot this one follows from, or 0 */
} ErrEntry;

/* The record handed to an external sink: packed, little-endian, 298 bytes.
 * Character fields are filled as by strncpy: a text of the field's size or
 * longer is cut and then has no terminating NUL. */
#pragma pack(push, 1)
typedef struct ErrSinkRecord {
  RealTime time;
  uint32_t severity;
  uint32_t number;
  uint32_t line;
  char file[13];
  char message[256];
  char task[9];
} ErrSinkRecord;
#pragma pack(pop)

/* Sink of mode 1: called with (0, a, b, c, record, 298); answers 0 when the
 * record was delivered. Without a sink function every record counts as
 * refused with 87. */
typedef uint32_t (*ErrSinkFunction)(uintptr_t zero, uintptr_t a, uintptr_t b, uintptr_t c,
                                    ErrSinkRecord *record, uint32_t length);
/* Message-box hook of mode 2: shows the text; its result is ignored. Errors
 * numbered 10 to 99 show the class "Unknown Error"; without a hook the text
 * goes to standard error. */
typedef void (*ErrMessageBoxHook)(const char *text);
/* Report callback of mode 4: gets the severity and the formatted message. */
typedef void (*ErrReportCallback)(uint32_t severity, const char *message);

/* Selects the report channel (modes 1 to 6) and creates the library's memory,
 * panic and (mode 2) error-table mutexes. task, when not NULL, becomes the
 * default task name and must outlive its use. a to d carry the mode's
 * arguments (sink arguments and function, anchor and hook, callback).
 * A repeated call keeps the mutexes it made before, so threads inside the
 * allocator are never cut off from their lock. Returns 1, or 0 for an
 * unknown mode or a failed mutex creation. */
QORB_API uint32_t ErrInitialize(uint32_t mode, const char *task, uintptr_t a, uintptr_t b,
                                uintptr_t c, uintptr_t d);

/* Makes one report through the selected channel. task NULL means the default
 * task; time not above 0 means now; file NULL means "Unknown", otherwise only
 * the part after the last backslash is kept. index, when given, holds on
 * entry an earlier table slot to link to and on return the channel's result.
 * Texts too long for their buffers are cut; a console line of severity 0
 * carries the letter '?'. */
QORB_API void ErrPutError(const char *task, RealTime time, uint32_t severity, uint32_t number,
                          const char *file, uint32_t line, uint32_t *index, const char *format, ...)
    QORB_PRINTF(8, 9);

/* Sets the library-wide verbosity mask (initially 0). */
QORB_API void BaseSetVerbosity(uint32_t mask);

/* The message format of error numbers 100 to 107; NULL for every other. */
QORB_API const char *ErrGetMessage(uint32_t number);

/* The entry of a table slot in use (2 to 50); otherwise the overflow entry
 * of slot 1. Never NULL. */
QORB_API ErrEntry *ErrGetError(uint32_t slot);

/* Frees a table slot in use; 0, or the code of the failed mutex operation. */
QORB_API uint32_t ErrClearError(uint32_t slot);

/* Links entry to an earlier slot; 0, or the code of the failed mutex
 * operation. */
QORB_API uint32_t ErrLinkError(uint32_t earlier, uint32_t entry);

/* Changes the severity of a table slot in use; 0, or a mutex code. */
QORB_API uint32_t ErrChangeError(uint32_t slot, uint32_t severity);

/* Reports a non-zero platform code as error 3 and returns it; 0 passes. */
QORB_API uint32_t ErrDosError(const char *file, uint32_t line, uint32_t code);

/* Reports a NULL pointer as error 4; returns the pointer. */
QORB_API void *ErrNullError(const char *file, uint32_t line, void *pointer);

/* Reports a failed condition (its text) as error 5. */
QORB_API void ErrAssertError(const char *file, uint32_t line, const char *condition);

/* Reports a non-zero return code as error 6 and returns it; 0 passes. */
QORB_API uint32_t ErrRcError(const char *file, uint32_t line, uint32_t code);

/* Reports a FALSE (0) value as error 6 and returns it; non-zero passes. */
QORB_API uint32_t ErrBoolError(const char *file, uint32_t line, uint32_t value);

/* Appends a last-resort line to "panic.log" (and prints it in modes 3 and 5);
 * gives back the panic mutex. Does not end the process. */
QORB_API void ErrPanicError(const char *text, const char *file, uint32_t line);

/* The anchor value given to ErrInitialize in mode 2 (0 before). */
QORB_API uintptr_t ErrGetHAB(void);

/* Does nothing: there is no exception layer to set up. */
QORB_API void ErrInitExceptions(void);

/* Does nothing: there is no windowing layer to start threads for. */
QORB_API void ThdSetPmThreadStartup(void);

/* Serial-port operations are not provided: each ignores its arguments and
 * returns 0. */
QORB_API uint32_t ComOpenPort(const char *portName, uint32_t *port);
QORB_API uint32_t ComClosePort(uint32_t port);
QORB_API uint32_t ComSetPortParameters(uint32_t port, uint32_t baud, uint32_t dataBits,
                                       uint32_t parity, uint32_t stopBits);
QORB_API uint32_t ComRead(uint32_t port, void *buffer, uint32_t length, uint32_t *bytesRead);
QORB_API uint32_t ComWrite(uint32_t port, const void *buffer, uint32_t length,
                           uint32_t *bytesWritten);
QORB_API uint32_t ComSetTimeOuts(uint32_t port, uint32_t readTimeout, uint32_t writeTimeout);
QORB_API uint32_t ComSetModemControlSignals(uint32_t port, uint32_t signals);

/* ------------------------------------------------------------------------ */
/* Mutexes, events and counting semaphores                                  */
/* ------------------------------------------------------------------------ */

/* Opaque 32-bit handles kept in the caller's variables. A variable holding 0
 * makes every operation fail quietly with a platform code (6); a NULL
 * variable address is refused with 87.
 * Named mutexes and events belong to the user that made them and are shared
 * by every process of that user, 32-bit or 64-bit, that creates or opens the
 * name; a name another user made is refused with 5, and a name already held
 * by 252 processes with 100. A process that ends without closing counts as
 * having closed; a mutex its thread owned goes to the next waiter as taken.
 * Closing the last handle a process has to a mutex one of its threads owns
 * gives the mutex up the same way. */
typedef uint32_t SemMutexHandle;
typedef uint32_t SemEventHandle;

/* A counting semaphore: a counter joined with a mutex and a manual-reset
 * event. The counter lives in this record only. */
typedef struct SemCount {
  SemMutexHandle mutex;
  SemEventHandle event;
  uint32_t count;
} SemCount;

/* Creates a recursive mutex, or opens the existing one of that name; the
 * caller owns it at once when owned is non-zero. flags is ignored. */
QORB_API uint32_t SemCreateMutex(SemMutexHandle *h, const char *name, uint32_t flags, int owned);

/* Opens an existing named mutex with the right to wait on it. */
QORB_API uint32_t SemOpenMutex(SemMutexHandle *h, const char *name);

/* Waits until the calling thread owns the mutex: 0, 258 on time-out, or a
 * code. A mutex left by an owner that ended counts as taken (0). */
QORB_API uint32_t SemRequestMutex(SemMutexHandle *h, uint32_t timeout);

/* Gives up one ownership; fails when the caller does not own the mutex. */
QORB_API uint32_t SemReleaseMutex(SemMutexHandle *h);

/* Not supported: always 50, the outputs are left as they were. */
QORB_API uint32_t SemQueryMutex(SemMutexHandle *h, uint32_t *out1, uint32_t *out2, uint32_t *out3);

/* Closes the handle; the variable keeps its old value. An unnamed mutex's
 * owner loses it, and threads waiting for it wake with 6, as nobody could
 * give it back any more. */
QORB_API uint32_t SemCloseMutex(SemMutexHandle *h);

/* Creates a manual-reset event (posted at once when posted is non-zero), or
 * opens the existing one of that name. flags is ignored. */
QORB_API uint32_t SemCreateEvent(SemEventHandle *e, const char *name, uint32_t flags, int posted);

/* Opens an existing named event with the right to wait on it (posting or
 * resetting through such a handle is refused with 5, access denied). */
QORB_API uint32_t SemOpenEvent(SemEventHandle *e, const char *name);

/* Stores 0 in *postCount, then resets the event. */
QORB_API uint32_t SemResetEvent(SemEventHandle *e, uint32_t *postCount);

/* Sets the event to posted. */
QORB_API uint32_t SemPostEvent(SemEventHandle *e);

/* Waits until the event is posted: 0, 258 on time-out, or a code. */
QORB_API uint32_t SemWaitEvent(SemEventHandle *e, uint32_t timeout);

/* Tests the event without waiting: *posted 1 and 0, or *posted 0 and 258
 * (not posted) or a code. */
QORB_API uint32_t SemQueryEvent(SemEventHandle *e, uint32_t *posted);

/* Closes the handle. */
QORB_API uint32_t SemCloseEvent(SemEventHandle *e);

/* Creates a counting semaphore with its event "N.countEvent" and mutex
 * "N.countMutex" (unnamed for a NULL name); N may have at most 68
 * characters, a longer name is refused with 87. */
QORB_API uint32_t SemCreateCount(SemCount *c, const char *name, uint32_t flags, uint32_t initial);

/* Opens the event and mutex of an existing named semaphore; the counter is
 * left as it was. */
QORB_API uint32_t SemOpenCount(SemCount *c, const char *name);

/* Adds delta (modulo 2^32) under the mutex and posts the event. */
QORB_API uint32_t SemChangeCount(SemCount *c, uint32_t delta);

/* 0 at once when the counter equals target; otherwise waits for the event
 * (0, 258 or a code). The counter is not tested again after the wait. */
QORB_API uint32_t SemWaitCount(SemCount *c, uint32_t target, uint32_t timeout);

/* Stores the counter in *count without locking; always 0. */
QORB_API uint32_t SemQueryCount(SemCount *c, uint32_t *count);

/* Closes the event and the mutex. */
QORB_API uint32_t SemCloseCount(SemCount *c);

/* ------------------------------------------------------------------------ */
/* Time                                                                     */
/* ------------------------------------------------------------------------ */

/* The calendar form of a RealTime. */
typedef struct TmeStruct {
  int32_t year;            /* full year; 0 to 99 on input mean 1900 to 1999 */
  int32_t month;           /* 1 to 12 */
  int32_t day;             /* 1 to 31 */
  int32_t hour;            /* 0 to 23 */
  int32_t minute;          /* 0 to 59 */
  int32_t second;          /* 0 to 59; 9999 on input: use secondsReal */
  uint32_t tenThousandths; /* 0 to 9999 */
  float secondsReal;       /* second plus the fraction */
  int32_t dayOfYear;       /* 1 to 366 */
  int32_t dayOfWeek;       /* 0 to 6, 0 = Sunday */
} TmeStruct;

/* The clock: whole seconds since 1970. */
QORB_API RealTime TmeGetRealTime(void);

/* Reads the clock, stores the value in *out and returns it. */
QORB_API RealTime Tme_time(RealTime *out);

/* Does nothing: the clock cannot be set through the library. Returns 0. */
QORB_API uint32_t TmeSetRealTime(RealTime t);

/* Fills all ten fields from t (negative values and NaN count as 0; whole
 * seconds of 2^32 and beyond wrap modulo 2^32); returns out. */
QORB_API TmeStruct *TmeRealTimeToStruct(RealTime t, TmeStruct *out);

/* The value of fields 1 to 8; a year below 100 is rewritten as 19xx in
 * place. Dates before 1970 give 0.0. */
QORB_API RealTime TmeStructToRealTime(TmeStruct *in);

/* Standard form "2001-08-15_12:48:46.2500" (25 bytes with the NUL). */
QORB_API char *TmeRealTimeToString(RealTime t, char *out);

/* Compact form "20010815.124846" (16 bytes with the NUL). */
QORB_API char *TmeRealTimeToAltString(RealTime t, char *out);

/* ctime-style form "Wed Aug 15 12:48:46 2001" without newline (25 bytes). */
QORB_API char *Tme_ctime(const RealTime *t, char *out);

/* ------------------------------------------------------------------------ */
/* Tracked allocator                                                        */
/* ------------------------------------------------------------------------ */

/* The header in front of every tracked block. On a 32-bit build it is the
 * documented 24 bytes; on a 64-bit host it is padded so that the caller's
 * area stays 16-byte aligned, the guard word right in front of it. */
typedef struct MemBlockHeader {
  uint32_t size; /* recorded total: request + 25 */
  struct MemBlockHeader *next;
  struct MemBlockHeader *prev;
  uint16_t line;
  char file[6]; /* first six characters of the file name, NUL-padded */
#if UINTPTR_MAX > 0xFFFFFFFFu
  char alignmentPadding[12];
#endif
  uint32_t guard; /* 0x55AA55AA */
} MemBlockHeader;

#define MEM_GUARD_WORD 0x55AA55AAu
#define MEM_TRAILER_BYTE 0x55u
#define MEM_OVERHEAD 25u

/* A zero-filled tracked block of size bytes, recording the calling line and
 * file; NULL when memory is short or the size cannot be tracked. Exceeding a
 * limit ends the process with status 1 unless exitOnLimit is off. */
QORB_API void *MemAllocMem_(uint32_t size, uint32_t line, const char *file);

/* Checks the block's guards, then frees it. NULL only warns on stderr. A
 * pointer that is no live block (freed already, or not from this allocator)
 * is reported, with the Error bit in the verbosity mask, as "Free of a
 * pointer that is no live block: %p" and left alone. */
QORB_API void MemFreeMem_(void *pointer);

/* Frees a tracked string; NULL is ignored silently. */
QORB_API void MemFreeString_(void *pointer);

/* A tracked copy of text; NULL for a NULL text or a failed allocation. */
QORB_API char *MemAllocString_(const char *text, uint32_t line, const char *file);

/* Frees the string in *slot, stores a tracked copy of text there (NULL for
 * NULL) and returns it. text must not be the string the slot holds. */
QORB_API char *MemFreeStringAlloc_(char **slot, const char *text, uint32_t line, const char *file);

/* Frees the string in *slot and stores pointer there unchanged. */
QORB_API char *MemFreeStringSet(char **slot, char *pointer);

/* Writes the bytes and blocks counted for all live blocks; returns 0. */
QORB_API uint32_t MemQueryStatus(uint32_t *bytes, uint32_t *blocks);

/* The bytes counted for all live blocks (overhead included). */
QORB_API uint32_t MemQueryMemoryAllocated(void);

/* The block's recorded size (request + 25) after checking its guards; 0 for
 * NULL. */
QORB_API uint32_t MemQueryBlockSize(void *pointer);

/* Sets the byte and block limits and whether exceeding one ends the
 * process; returns 0. */
QORB_API uint32_t MemSetLimits(uint32_t maxBytes, uint32_t maxBlocks, uint32_t exitOnLimit);

/* Checks the guards of every live block; returns 1. */
QORB_API uint32_t MemCheckMemory(void);

/* Writes one line per live block, oldest first, on stream; returns 1. */
QORB_API uint32_t MemDumpMemory(FILE *stream);

/* ------------------------------------------------------------------------ */
/* Linked lists                                                             */
/* ------------------------------------------------------------------------ */

typedef struct LstItem LstItem;
typedef struct LstList LstList;

/* A list header; walk it from first through next. */
struct LstList {
  LstItem *first;
  LstItem *last;
  uint32_t count;
  uint32_t indexed;     /* 1 when items keep their positions in index */
  SemMutexHandle mutex; /* taken by callers through LstLock */
};

/* One item carrying a caller's pointer. */
struct LstItem {
  uint32_t inList; /* 1 while linked into a list */
  void *data;
  LstList *list; /* the list last inserted into */
  LstItem *prev;
  LstItem *next;
  uint32_t index; /* position from 0 in an indexed list */
};

/* Flags of LstNewList and of LstInsert/LstInsertItem. */
#define LST_INDEXED 1u
#define LST_AT_END 4u

/* Answers nonzero when first may stand before second. */
typedef int (*LstComparator)(void *first, void *second);

/* A new empty list with its own mutex; LST_INDEXED keeps item positions. */
QORB_API LstList *LstNewList(uint32_t flags);

/* Frees every item (not the data), gives back and closes the list mutex and
 * frees the header; 1. */
QORB_API uint32_t LstFreeList_(LstList *list);

/* A new free-standing item holding data. */
QORB_API LstItem *LstNew(void *data);

/* Frees an item's block, taking a linked item out of its list first; 1. */
QORB_API uint32_t LstFree(LstItem *item);

/* A new item holding data, inserted at the head, or at the end with
 * LST_AT_END. */
QORB_API LstItem *LstInsert(LstList *list, void *data, uint32_t flags);

/* Inserts a free-standing item at the head, or at the end with LST_AT_END;
 * 0 when the item is already in a list. */
QORB_API uint32_t LstInsertItem(LstList *list, LstItem *item, uint32_t flags);

/* Inserts item right after another, or at the head when after is NULL; 0
 * when item is linked already or after is not an item of this list. */
QORB_API uint32_t LstInsertAfter(LstList *list, LstItem *item, LstItem *after);

/* Inserts item right before another, or at the end when before is NULL; 0
 * when item is linked already or before is not an item of this list. */
QORB_API uint32_t LstInsertBefore(LstList *list, LstItem *item, LstItem *before);

/* Unlinks an item from its list, keeping its block; 0 when not linked. */
QORB_API uint32_t LstRemoveItem(LstItem *item);

/* Unlinks an item and frees its block (not its data); 0 when not linked. */
QORB_API uint32_t LstDelete(LstItem *item);

/* A new item holding data, inserted before the first item the comparator
 * lets it precede, or at the end. */
QORB_API LstItem *LstInsertSorted(LstList *list, void *data, LstComparator comparator);

/* Sorts the items (comb sort; two items that compare 0 both ways count as
 * equal and are not exchanged); item pointers stay valid; 1. A comparator
 * that contradicts itself still lets the sort end in n log n comparisons,
 * in some order. */
QORB_API uint32_t LstSort(LstList *list, LstComparator comparator);

/* The first item whose data equals the pointer, or NULL. */
QORB_API LstItem *LstGetItem(LstList *list, void *data);

/* Frees every item (not the data) and empties the list; 1. */
QORB_API uint32_t LstDeleteAll(LstList *list);

/* Frees every item and its data block, and empties the list; 1. */
QORB_API uint32_t LstDeleteAllBoth(LstList *list);

/* Takes the list's mutex, waiting without limit; 1, or 0 on failure. */
QORB_API uint32_t LstLock(LstList *list);

/* Gives the list's mutex back; 1, or 0 on failure. */
QORB_API uint32_t LstUnlock(LstList *list);

/* ------------------------------------------------------------------------ */
/* Worker threads                                                           */
/* ------------------------------------------------------------------------ */

/* A job: a function of one word whose result is ignored. */
typedef void (*ThdFunction)(uintptr_t argument);

/* One worker of the pool; it belongs to the pool, look but do not free. */
typedef struct ThdWorker {
  SemEventHandle event; /* wake-up event */
  ThdFunction function;
  uintptr_t argument;
  uint32_t threadHandle;
  LstItem *poolItem;      /* its item in the idle pool */
  uint32_t priorityClass; /* stored, not used */
  int32_t priorityLevel;  /* applied when flags has value 2 */
  uint32_t flags;
} ThdWorker;

/* Value of ThdStartThreadFull's flags that applies priorityLevel. */
#define THD_SET_PRIORITY 2u

/* Starts count workers that wait for jobs; 0. */
QORB_API uint32_t ThdInitialize(uint32_t count);

/* Hands a job to the worker idle longest (starting one when none is idle
 * and none is on its way back from a finished job) and returns that worker;
 * NULL before ThdInitialize or when no worker can be started. A job runs at
 * priorityLevel when flags is 2, otherwise at idle once its worker has run
 * a job before; where the host lets no thread raise its priority again, that
 * fall to idle is recorded but not applied, so later jobs get their levels. */
QORB_API ThdWorker *ThdStartThreadFull(ThdFunction function, uintptr_t argument,
                                       uint32_t priorityClass, int32_t priorityLevel,
                                       uint32_t flags);

/* Releases the pool when no job runs: the busy count when one does,
 * otherwise the result of closing the thread mutex (0). Idle worker threads
 * end before their records are freed; a caller waiting for the pool at that
 * moment gets NULL. */
QORB_API uint32_t ThdTerminate(void);

/* ------------------------------------------------------------------------ */
/* Time text parsing                                                        */
/* ------------------------------------------------------------------------ */

/* The time-text parsers start from 1970-01-01 00:00:00 and convert what they
 * read with TmeStructToRealTime (so a year 0 to 99 means 19xx and dates
 * before 1970 give 0.0). None fails: text that does not fit gives what was
 * read up to there, and nothing past the terminating NUL is read. Digit
 * runs of more than 15 digits count their first 15. A NULL text gives 0.0. */

/* Standard form "2001-08-15_12:48:46.2500": year, then month, day, hour,
 * minute, second and fraction, each after any one separating character
 * while the text goes on; values are taken modulo 65536. A fraction of 1, 2
 * or 3 digits counts tenths, hundredths or thousandths, any other length
 * counts ten-thousandths. */
QORB_API RealTime TmeStringToRealTime(const char *text);

/* Ordinal-date form "2001.227 12:48:46": year, day of the year, hour,
 * minute, second and fraction as in the standard form, with '~' ending the
 * text as NUL does and values not cut to 16 bits; "" or "~" give 0.0. */
QORB_API RealTime TmeJulianStringToRealTime(const char *text);

/* ctime-style form "Wed Aug 15 12:48:46 2001", as scanned by
 * "%3s%3s%2ld%2ld:%2ld:%2ld%4ld"; the weekday is ignored, the month name
 * matches in any case (an unknown name leaves January). */
QORB_API RealTime TmeMSTimeStringToRealTime(const char *text);

/* TmeMSTimeStringToRealTime truncated to whole seconds; values beyond
 * 2147483647 wrap modulo 2^32. */
QORB_API int32_t TmeMSTimeStringToLongSec(const char *text);

/* Database form "Aug 15 2001 12:48PM", as scanned by
 * "%3s %3ld %4ld %2ld:%2ld%2s": hour 12 counts as 0, and a marker starting
 * with 'P' or 'p' adds 12 hours (a missing marker adds none). */
QORB_API RealTime TmeSQLDateTimeToRealTime(const char *text);

/* ------------------------------------------------------------------------ */
/* Text parser                                                              */
/* ------------------------------------------------------------------------ */

/* Sizes of the fixed texts inside a parse context, terminating NUL included.
 * A longer path, special set or line-marker name is cut to fit; a longer
 * physical line arrives as several lines. */
#define PRS_FILE_NAME_SIZE 128u
#define PRS_LINE_SIZE 2048u
#define PRS_SPECIALS_SIZE 32u

/* Options of PrsStartParse. The low four bits select the comment mode;
 * PRS_LINE_MARKERS switches comment removal off and takes precedence. A
 * marker line without its number or its quoted name is consumed all the
 * same and leaves the missing field as it was. */
#define PRS_COMMENT_MASK 0x0Fu
#define PRS_COMMENT_SLASH 1u   /* block comments, also over lines, and line comments */
#define PRS_COMMENT_HASH 2u    /* lines whose first non-blank character is '#' */
#define PRS_LINE_MARKERS 4u    /* lines '#<number> "<name>"' set line number and name */
#define PRS_COMMENT_REM 8u     /* lines starting (after blanks) with r, e, m in any case */
#define PRS_CASE_SENSITIVE 16u /* characters, words and keywords match exactly */

/* The characters that end a word when PrsStartParse is given none. */
#define PRS_DEFAULT_SPECIALS "()-!@#$%&*<>_|/\\:"

/* One open text input being parsed; allocated by PrsStartParse, freed by
 * PrsEndParse_. Readers only move position and the current line. */
typedef struct PrsContext {
  FILE *stream;        /* the opened file, or the standard input */
  char *position;      /* where the next token is looked for, in lineBuffer */
  uint32_t inComment;  /* the last line ended inside a block comment */
  uint32_t endOfFile;  /* the input is used up */
  uint32_t lineNumber; /* number of the current line */
  uint32_t options;
  char fileName[PRS_FILE_NAME_SIZE]; /* the path, "stdin", or a line marker's name */
  char lineBuffer[PRS_LINE_SIZE];    /* the current line */
  char specials[PRS_SPECIALS_SIZE];  /* characters that end a word */
} PrsContext;

/* Opens path (NULL: the standard input) for reading in text mode and moves
 * to its first accepted line. specials NULL means PRS_DEFAULT_SPECIALS.
 * NULL when the file cannot be opened, memory is short or the input holds
 * no accepted line; a file it opened is closed again then (the standard
 * input stays open). */
QORB_API PrsContext *PrsStartParse(const char *path, uint32_t options, const char *specials);

/* Closes the stream (the standard input too) and frees the context; NULL is
 * ignored. */
QORB_API void PrsEndParse_(PrsContext *context);

/* Moves to the next accepted line: 1, or 0 at the end of the input. Every
 * line read counts in the line number, dropped comment lines too. */
QORB_API uint32_t PrsNextLine(PrsContext *context);

/* Rewinds the input and moves to its n-th accepted line: 1 when reached, 0
 * when the input ends first (always for n = 0). The name stays. */
QORB_API uint32_t PrsResetToLine(PrsContext *context, uint32_t n);

/* Copies the whole current line (PRS_LINE_SIZE bytes at most) into buffer
 * and moves to the next line; 0 at the end of the input, buffer untouched. */
QORB_API uint32_t PrsGetLine(PrsContext *context, char *buffer);

/* The number of the current line (0 for NULL). */
QORB_API uint32_t PrsQueryLineNumber(PrsContext *context);

/* The input's name inside the context, valid until PrsEndParse_. */
QORB_API const char *PrsQueryFileName(PrsContext *context);

/* 1 when the input is used up (and for NULL), else 0. */
QORB_API uint32_t PrsIsEndOfFile(PrsContext *context);

/* 1 at the end of the input (and for NULL); otherwise moves past blanks and
 * answers whether the current line is used up. Never reads a line. */
QORB_API uint32_t PrsIsEndOfLine(PrsContext *context);

/* The token readers below look for the next token past blanks (space, tab,
 * CR, LF), reading further lines while the current one is used up; line
 * ends count as blanks. Each fails at once when the input was already used
 * up, so the read that runs into the end usually still succeeds with an
 * empty result. A failed read consumes nothing but the lines it read. */

/* Copies the word at the token (letters, digits and every other character
 * not among the specials) into buffer; an empty word when the token is a
 * special character. 1, or 0 at the end of the input. */
QORB_API uint32_t PrsGetWord(PrsContext *context, char *buffer);

/* Copies a quoted text (adjacent quoted texts joined, also over lines; no
 * escapes) or else the rest of the line, trailing blanks included, and moves
 * on to the next line. 0 at the end of the input or for a quoted text that
 * the input ends before closing. */
QORB_API uint32_t PrsGetSentence(PrsContext *context, char *buffer);

/* A decimal number with optional sign; 0 when none is there. Values beyond
 * 32 bits are held at the nearest limit. */
QORB_API uint32_t PrsGetNumber(PrsContext *context, int32_t *value);

/* A hexadecimal number, "0x" or "0X" optional (a sign is taken, and stepped
 * over, too); the position moves past the run of hexadecimal digits and x
 * characters. 0 when none is there; values beyond 32 bits are held at
 * 0xFFFFFFFF. */
QORB_API uint32_t PrsGetHexNumber(PrsContext *context, uint32_t *value);

/* A decimal floating-point number; the position moves past the run of
 * digits and '.', 'e', 'E', '+', '-' characters. 0 when none is there. */
QORB_API uint32_t PrsGetReal(PrsContext *context, double *value);

/* The index of the first table entry equal to the word at the token (case
 * ignored unless PRS_CASE_SENSITIVE), consuming the word; -1, consuming
 * nothing, when none is equal, count is 0 or the input is used up. NULL
 * entries are passed over. */
QORB_API int32_t PrsGetKeyword(PrsContext *context, const char *const *table, uint32_t count);

/* With a word: consumes the input word when it matches (it is not empty and
 * the given word begins with it), 1; else 0. With NULL: consumes the run of
 * non-blank characters at the token, 1. */
QORB_API uint32_t PrsNextWord(PrsContext *context, const char *word);

/* Consumes the character at the token when it matches c (letters in any case
 * unless PRS_CASE_SENSITIVE): 1; else 0. NUL never matches. */
QORB_API uint32_t PrsNextChar(PrsContext *context, char c);

/* Whether the character at the token matches c, consuming nothing. */
QORB_API uint32_t PrsQueryChar(PrsContext *context, char c);

/* Whether the input word matches word (as PrsNextWord), consuming nothing. */
QORB_API uint32_t PrsQueryWord(PrsContext *context, const char *word);

/* Reads a standard-form time (TmeStringToRealTime) from the current line
 * only, at the end of the input too, and moves past the run of non-blank
 * characters there; 1 (0 only for NULL arguments). */
QORB_API uint32_t PrsGetRealTime(PrsContext *context, RealTime *value);

/* Reads a sequence of tokens by pattern. Blanks in the pattern match
 * nothing; any other character must be the next input character (as
 * PrsNextChar). Directives: %w word (char *), %n number (int32_t *), %x
 * hexadecimal (uint32_t *), %-w %-n %-x the same discarded, %*c skip on the
 * current line past the first character matching c (a final %* skips to the
 * line's end), %? one character on within the line; any other %-directive is
 * ignored. 1 when the whole pattern was read; 0 at the first element that
 * fails (or whose destination is NULL), what came before staying read. */
QORB_API uint32_t PrsGetPattern(PrsContext *context, const char *pattern, ...);

/* Tests the rest of the current line against a pattern, changing nothing:
 * blanks are skipped before each element, %w %n %x accept zero characters,
 * and an unknown directive fails. 1 when the pattern's end is reached. */
QORB_API uint32_t PrsQueryPattern(PrsContext *context, const char *pattern);

/* Replaces, in place, every from in the NUL-terminated text by to. A NULL
 * text or a NUL from changes nothing. */
QORB_API void MscReplaceChar(char *text, char from, char to);

/* ------------------------------------------------------------------------ */
/* Files and paths                                                          */
/* ------------------------------------------------------------------------ */

/* Path names are Windows-style texts: the backslash is the only separator
 * (a forward slash is an ordinary character), a drive is a letter and a
 * colon at the start, absolute directories end with a backslash, and a path
 * name has at most 255 characters.
 *
 * Taking a path name apart. Each of the eight functions below replaces the
 * path in its buffer with one piece of it (never longer than the path) and
 * returns 1, or 0 where it says so; each has a copying twin, FilGet...Of
 * (destination, source), that leaves the source alone, writes the piece into
 * the destination (which must hold the source with its NUL) and returns 1
 * even for an empty piece. Paths of any length are handled whole; NULL
 * arguments give 0. No file system is touched. */

/* The drive ("C:") when the second character is ':'; otherwise the empty
 * text and 0. */
QORB_API int FilDiskOf(char *path);
/* Up to and including the last backslash, without any drive or other text
 * up to the first ':' ("C:\a\b.c" gives "\a\"); no backslash: empty, 0. */
QORB_API int FilDirOf(char *path);
/* Up to and including the last backslash ("C:\a\"); without one, up to
 * and including the first ':' ("C:"); with neither: empty, 0. */
QORB_API int FilPathOf(char *path);
/* The text after the last backslash, else after the first ':', else all of
 * it; 0 when that is empty. */
QORB_API int FilFileNameOf(char *path);
/* The parent directory with its trailing backslash ("C:\a\b\c" and
 * "C:\a\b\c\" give "C:\a\b\"); the parent of a first-level directory
 * is "\" whatever stands before it; 0 (empty) when there is none ("C:\",
 * "\", "abc"). */
QORB_API int FilParentOf(char *path);
/* The name of the last directory ("C:\a\b\c.txt" gives "b"; "\c.txt"
 * gives "\"; "a\c.txt" gives "a"); no backslash: empty, 0. */
QORB_API int FilDirNameOf(char *path);
/* The text after the last backslash cut at its last '.' ("C:\a\b.c.txt"
 * gives "b.c"; "C:x.txt" gives "C:x"). Always 1. */
QORB_API int FilNameOfFileName(char *path);
/* The text after the last '.' anywhere in the path, or empty. Always 1. */
QORB_API int FilExtOfFileName(char *path);

QORB_API int FilGetDiskOf(char *destination, const char *source);
QORB_API int FilGetDirOf(char *destination, const char *source);
QORB_API int FilGetPathOf(char *destination, const char *source);
QORB_API int FilGetFileNameOf(char *destination, const char *source);
QORB_API int FilGetParentOf(char *destination, const char *source);
QORB_API int FilGetDirNameOf(char *destination, const char *source);
QORB_API int FilGetNameOfFileName(char *destination, const char *source);
QORB_API int FilGetExtOfFileName(char *destination, const char *source);

/* Drives. On this host a drive is a letter mapped to a host directory; by
 * default only C: is mapped, to the host root ("C:\tmp\x" is /tmp/x). Each
 * drive keeps its own working directory; the current drive's is the
 * process's working directory. ".." never climbs above a drive's root. */

/* Maps a drive letter (either case) to an existing host directory, which
 * becomes the drive's root and working directory; remapping the current
 * drive moves the working directory to the new root. 1, or 0 for a letter
 * outside A to Z or a directory that does not exist. On Windows, whose
 * drives are the system's own, only a drive's own root ("D:\") is taken. */
QORB_API uint32_t FilMapDrive(char letter, const char *hostDirectory);
/* Unmaps a drive; 0 when it is not mapped or is the current drive, and
 * always on Windows. */
QORB_API uint32_t FilUnmapDrive(char letter);

/* 1 when the drive named by the path's first two characters ("D:") can be
 * made current; the current drive is left as it was. */
QORB_API uint32_t FilDiskExists(const char *path);
/* The drives C: to Z: that can be made current: bit n-1 for drive n (C: is
 * bit 2). */
QORB_API uint32_t FilGetDiskMap(void);
/* The free bytes of the volume holding rootPath ("C:\"), wrapping above
 * 4 GB as a 32-bit count; 0 when the query fails. */
QORB_API uint32_t FilGetPathFree(const char *rootPath);

/* The working directory as drive, colon and absolute directory, always
 * ending with a backslash ("C:\work\", "C:\"). buffer must hold 256 bytes;
 * it gets the empty text when the working directory cannot be read. Returns
 * buffer. */
QORB_API char *FilGetPath(char *buffer);
/* Makes the path's drive current ("D:" alone changes only the drive), then
 * its directory the working directory; a trailing backslash is accepted.
 * 1, or 0 when either change fails (the drive then stays changed). */
QORB_API uint32_t FilSetPath(const char *path);

/* A listing in progress; the caller keeps a FilListing * that is NULL before
 * the first call and is set back to NULL by the call that ends the listing.
 * The whole listing is taken at the first call; a caller that stops before
 * the end keeps its memory allocated. */
typedef struct FilListing FilListing;

/* The next plain file matching pattern (a path with '*' and '?', relative
 * or absolute): 1 with its full path name in out (260 bytes), in the order
 * the directory search gives them; 0 when the listing is over, when nothing
 * matches or when the pattern's directory cannot be resolved. unused has
 * no effect. */
QORB_API uint32_t FilGetNextPathName(FilListing **handle, const char *pattern, char *out,
                                     uint32_t unused);
/* The next subdirectory of directory (ending with a backslash), "." and ".."
 * included below a drive's root: 1 with directory, name and a backslash in
 * out (260 bytes); 0 at the end. Entries longer than 259 characters (255
 * for subdirectories) are left out of a listing. */
QORB_API uint32_t FilGetNextPath(FilListing **handle, const char *directory, char *out);

/* 1 when path names an existing entry that is not a directory. */
QORB_API uint32_t FilPathNameExists(const char *path);
/* 1 when the directory exists ("\" always does), found by entering it for a
 * moment; a trailing backslash is accepted. */
QORB_API uint32_t FilDirExists(const char *directory);
/* FilDirExists on the drive the path names, made current for the call. */
QORB_API uint32_t FilPathExists(const char *directory);
/* Makes a directory with every missing parent; 1, or 0 when it cannot be
 * made or already exists. */
QORB_API uint32_t FilMakeDir(const char *directory);
/* FilMakeDir on the drive the path names, made current for the call. */
QORB_API uint32_t FilMakePath(const char *directory);
/* Maps a file path from the source tree into the target tree: path
 * "C:\src\a\f.c", source "c:\SRC" and target "D:\dst" give "D:\dst\a\f.c"
 * in out (256 bytes), making "D:\dst\a" when missing. 0 when the path has
 * no backslash, does not lie below source, or the target directory cannot
 * be made. path is left cut at its last backslash in every case. */
QORB_API uint32_t FilDirMatch(char *path, const char *source, const char *target, char *out);
/* 1 when the whole name matches the pattern, ignoring case: '?' stands for
 * one character, '*' for any run; the character right after a '*' is
 * compared as it stands, even '?' or '*' ("*?" matches only names ending
 * with a '?'). */
QORB_API uint32_t FilFileMatch(const char *pattern, const char *name);

/* Checking a path name. Texts here have at most 255 characters; a longer
 * one, or a result that would be longer, is refused with 0. */

/* Resolves a relative or drive-less absolute directory against base
 * ("\a\b\"): "..\x\" gives "\a\x\". directory is overwritten with the
 * result (256 bytes). 0, leaving directory unchanged, when a ".." climbs
 * above the root. */
QORB_API uint32_t FilMakeAbsDir(char *directory, const char *base);
/* Makes a typed path name absolute against the working directory of its
 * drive and writes back the part wanted: 0 the drive, 1 the directory
 * without drive, 2 drive and directory, 3 the file name, 4 and above the
 * full path name. checkMode 0 checks that the directory exists, 1 makes it
 * the working directory, other values check nothing. A path on another
 * drive visits that drive and comes back. Returns 1, or 0 when a change or
 * check fails; every failure leaves the drive and working directory as they
 * were, and a failed check leaves path cut after its last backslash. A path
 * whose ".." parts climb above the root is refused, path unchanged. path
 * must hold 256 bytes. */
QORB_API uint32_t FilCheckPathName(char *path, uint32_t checkMode, uint32_t partWanted);
/* Copies source to destination and appends a backslash unless the text is
 * empty or ends with ':' or '\'; returns destination. */
QORB_API char *FilNormalizePath(char *destination, const char *source);

/* ------------------------------------------------------------------------ */
/* Command line                                                             */
/* ------------------------------------------------------------------------ */

/* The value types of an option record (the command line's own numbering,
 * independent of the configuration files' type codes). */
#define CMD_TYPE_SHORT 0u       /* 16-bit signed, scanned */
#define CMD_TYPE_USHORT 1u      /* 16-bit unsigned, scanned */
#define CMD_TYPE_BOOLEAN 2u     /* 32-bit 0 or 1: TRUE, YES or ON (any case) give 1 */
#define CMD_TYPE_LONG 3u        /* 32-bit signed, scanned */
#define CMD_TYPE_ULONG 4u       /* 32-bit unsigned, scanned */
#define CMD_TYPE_DOUBLE 5u      /* 64-bit floating point, scanned */
#define CMD_TYPE_STRING 6u      /* pointer to the argument itself */
#define CMD_TYPE_CHARACTER 7u   /* 8-bit character, scanned */
#define CMD_TYPE_STRINGARRAY 8u /* tracked, null-terminated array of argument pointers */
#define CMD_TYPE_FLOAT 9u       /* 32-bit floating point, scanned */

/* Result codes of CmdParseCmdLine. Errors and topical help that concern one
 * record return that record's helpKey instead (keys of 200 and above stay
 * clear of these). */
#define CMD_RC_OK 0u             /* parsed, values assigned */
#define CMD_RC_SYNTAX 100u       /* "-h", an unknown "-h argid", or a general error */
#define CMD_RC_FULL_HELP 101u    /* "-h full" */
#define CMD_RC_NO_ARGUMENTS 102u /* only the program name; defaults assigned */
#define CMD_RC_BAD_TABLE 110u    /* a faulty option table */

/* The value of an option record, in the representation of its type. A
 * switch's presence mark is the 32-bit word: 1 once the switch is given. */
typedef union CmdValue {
  int16_t shortValue;
  uint16_t ushortValue;
  uint32_t booleanValue;
  int32_t longValue;
  uint32_t ulongValue;
  double doubleValue;
  char *stringValue;
  char characterValue;
  char **stringArrayValue;
  float floatValue;
  unsigned char bytes[8];
} CmdValue;

/* One record of an option table: a positional argument (argumentFlag 0,
 * switchId 0), a switch (argumentFlag set, switchId its letter) or an
 * argument of the switch before it (argumentFlag 0, switchId the switch's
 * letter). Byte-packed, 108 bytes. Table order: the mandatory items first,
 * in command-line order; then the optional positional arguments; then the
 * switches, each followed by its own arguments. Records of one
 * exclusiveGroup stand next to each other.
 *
 * conversionString is the sscanf format that turns a default, or an
 * argument given for a positional or switch argument record, into the
 * value. Where it is used it must hold exactly one conversion, the one its
 * type allows, so that nothing is stored beyond assignedValue: SHORT and
 * USHORT "%hd" (or h with i, o, u, x, X); BOOLEAN, LONG and ULONG d, i, o,
 * u, x or X without a length or with l (on a 64-bit host l stores 8 bytes,
 * the value in the low word); DOUBLE "%lf" (or l with e, g, E, F, G); FLOAT
 * the same without the l; CHARACTER "%c" (a width of 1 at most). A field
 * width and ordinary text around the conversion are allowed; '*', %n, %s,
 * %[, %p, any other length and a second conversion are not. BOOLEAN
 * arguments are compared, not scanned, and STRING and STRINGARRAY records
 * are never scanned. A table breaking this rule, with a type code above 9,
 * with a default or format text lacking its NUL inside the field, or with a
 * default that does not convert, is faulty (110).
 *
 * assignedValue is unaligned inside the packed record: read its members
 * directly, or copy the field, rather than keep a pointer to it. */
#pragma pack(push, 1)
typedef struct CmdOptionStruct {
  uint32_t mandatoryFlag;   /* non-zero: the item must be given */
  uint32_t argumentFlag;    /* non-zero: the record is a switch */
  char switchId;            /* the switch letter; 0 for a positional argument */
  uint32_t caseFlag;        /* shown by the dump only; letters always compare exactly */
  uint32_t exclusiveGroup;  /* 0, or the number of a group of alternatives */
  uint32_t helpKey;         /* topical help and error code of the item */
  uint32_t typeCode;        /* CMD_TYPE_* */
  char conversionString[5]; /* sscanf format of the value, see above */
  char argumentName[30];    /* short description for the help display */
  char defaultValue[40];    /* default as text; empty for none */
  CmdValue assignedValue;   /* written by CmdParseCmdLine */
} CmdOptionStruct;
#pragma pack(pop)

/* The parser's answer: a tracked block of 84 bytes, freed by the caller with
 * MemFreeMem_. message is empty unless the code reports an error; a message
 * quoting a long argument is cut to 79 characters. */
typedef struct CmdParseResult {
  uint32_t code;
  char message[80];
} CmdParseResult;

/* One page text of the full help; a table of them ends with helpKey 0. The
 * texts carry their own line ends. */
typedef struct CmdHelpEntry {
  uint32_t helpKey;
  const char *text;
} CmdHelpEntry;

#if defined(__GNUC__)
#define QORB_NORETURN __attribute__((noreturn))
#else
#define QORB_NORETURN
#endif

/* Parses argv[1] to argv[argc - 1] against the table of count records. "-h"
 * answers 100, "-h full" 101 and "-h argid" the helpKey of the record whose
 * id ("arg1", "-v", "o1", any case) matches, else 100; nothing is assigned
 * then. Otherwise every value is set from its default, then from the command
 * line: mandatory items first, then positional arguments and switches in any
 * mix. A faulty table (or a NULL one with records) answers 110; a line with
 * only the program name 102.
 * STRING values and string arrays point into argv, which must outlive them;
 * a string array is a tracked block the caller frees with MemFreeMem_ (also
 * before parsing into the same table again). Returns a new result block, or
 * NULL when it cannot be allocated. */
QORB_API CmdParseResult *CmdParseCmdLine(int argc, char *argv[], CmdOptionStruct *table,
                                         uint32_t count);

/* Prints the usage line of the program (the name of programPath without
 * directory and extension, then every item, optional ones in brackets and
 * alternatives joined by " | "), one line per argument and switch, and how
 * to ask for help. */
QORB_API void CmdDisplaySyntax(FILE *stream, const CmdOptionStruct *table, uint32_t count,
                               const char *programPath);

/* Prints the help texts page by page: before a text that would fill the page
 * (linesPerPage minus one lines), a prompt and a wait for one key read from
 * standard input (a 0 byte is followed by a second read). */
QORB_API void CmdDisplayFullHelp(FILE *stream, const CmdHelpEntry *help, uint32_t linesPerPage);

/* Prints every record field by field, waits for a key after each, then ends
 * the process with exit status 0. */
QORB_API QORB_NORETURN void CmdDisplayOptionStruct(FILE *stream, const CmdOptionStruct *table,
                                                   uint32_t count);

/* ------------------------------------------------------------------------ */
/* Configuration files                                                      */
/* ------------------------------------------------------------------------ */

/* Field descriptors. An Fdsc tells how one field of a caller's record is
 * stored; an Sdsc lists the fields of a structure, which lie one right after
 * the other without gaps (a byte-packed record). The library only reads
 * descriptors. Pointer-type fields (FDSC_STRINGPTR, FDSC_STRUCTLIST,
 * FDSC_LIST, FDSC_STRUCTPTR) take the host's pointer size in a record. */

/* Type codes of Fdsc.type. */
#define FDSC_SHORTBOOL 0u     /* 16-bit, 1 is true */
#define FDSC_BOOL 1u          /* 32-bit, 1 is true */
#define FDSC_BYTE 2u          /* 8-bit unsigned */
#define FDSC_SHORT 3u         /* 16-bit signed */
#define FDSC_USHORT 4u        /* 16-bit unsigned */
#define FDSC_LONG 5u          /* 32-bit signed */
#define FDSC_ULONG 6u         /* 32-bit unsigned */
#define FDSC_FLOAT 7u         /* IEEE single */
#define FDSC_DOUBLE 8u        /* IEEE double */
#define FDSC_STRING 9u        /* char array of count bytes, NUL-terminated */
#define FDSC_STRINGPTR 10u    /* pointer to a tracked string */
#define FDSC_SHORTENUM 11u    /* 16-bit value named through an Edsc */
#define FDSC_ENUM 12u         /* 32-bit value named through an Edsc */
#define FDSC_REALTIME 13u     /* RealTime */
#define FDSC_FIXEDSTRING 14u  /* count blank-padded characters, no NUL */
#define FDSC_DOTTEDSTRING 15u /* count characters in parts as wide as the Sdsc's counts */
#define FDSC_VERBOSITY 16u    /* 32-bit severity and area mask */
#define FDSC_DURATION 17u     /* 32-bit number of seconds */
#define FDSC_STRUCT 25u       /* count structures of the Sdsc, in the record */
#define FDSC_STRUCTLIST 26u   /* pointer to an LstList of allocated structures */
#define FDSC_LIST 27u         /* pointer to an LstList of allocated elements of the Fdsc */
#define FDSC_STRUCTPTR 28u    /* pointer to an allocated structure, NULL when absent */
#define FDSC_TYPE_COUNT 29u   /* entries in the type table */

/* Flags of Fdsc.flags; other bits are carried, never interpreted. */
#define FDSC_SKIP 0x4u    /* IniRead and IniWrite pass over the field */
#define FDSC_NOPACK 0x10u /* packing passes over a pointer-type field */

#define SDSC_MAX_FIELDS 60u
#define EDSC_MAX_NAMES 16u

/* One field: 28 bytes on a 32-bit build. */
typedef struct Fdsc {
  uint32_t userWord;  /* the application's; never interpreted */
  const char *name;   /* key of a plain field, section name of a structure */
  uint32_t flags;     /* FDSC_SKIP, FDSC_NOPACK */
  uint32_t type;      /* FDSC_* type code, 0 to 28 */
  uint32_t count;     /* elements, or bytes for the character types 9, 14, 15 */
  const char *format; /* print and scan format replacing the type's, or NULL */
  const void *sub;    /* Sdsc (types 15, 25, 26, 28), Edsc (11, 12), element Fdsc (27) */
} Fdsc;

/* A structure: 1696 bytes on a 32-bit build. */
typedef struct Sdsc {
  uint32_t fieldCount; /* slots in use, 0 to 60 */
  uint32_t userWord;   /* the application's */
  uint32_t size;       /* bytes of one structure: the sum of its fields' extents */
  uint32_t reserved;   /* the application's */
  Fdsc fields[SDSC_MAX_FIELDS];
} Sdsc;

/* The names of an enumeration (types 11 and 12): 132 bytes on a 32-bit
 * build. Slot i names values[i]; a 16-bit field uses the low 16 bits. */
typedef struct Edsc {
  uint32_t count; /* names in use, 0 to 16 */
  const char *names[EDSC_MAX_NAMES];
  uint32_t values[EDSC_MAX_NAMES];
} Edsc;

/* One entry of the type table: the default format and the element size. */
typedef struct IniTypeDefault {
  const char *format;
  uint32_t size;
} IniTypeDefault;

/* The 29 entries of the type table, indexed by type code: default formats
 * ("%hd", "%lu", "%s", ...) and element sizes (0 for 18 to 25; the host's
 * pointer size for the pointer types). Never changes. */
QORB_API const IniTypeDefault *IniGetTypeDefaults(void);

/* Stores in *size the bytes a packed copy of the descriptor and everything
 * below it takes (names and formats with their NULs, Sdsc and Edsc records,
 * their texts, each sub-record raised to a multiple of 4); returns 0.
 * Descriptors nested beyond 100 levels are not counted. */
QORB_API uint32_t IniSizeofFdsc(const Fdsc *descriptor, uint32_t *size);

/* Value conversions of one element of a plain type (0 to 17). cursor is the
 * address of a variable holding the element's address; it is not moved.
 * Formats are the descriptor's own (cut to 79 characters) or the type's;
 * an own format must hold exactly one conversion of the field's kind (a
 * number, a real or a text; no '*', 'n' or 'p'), else the type's is used. */

/* Writes the element's text into out, cut to 127 characters, so 128 bytes
 * always suffice: numbers through the format, "TRUE"/"FALSE", enumeration
 * names ("Unknown" for a value without one), the standard time form,
 * verbosity words joined by '|' ("Error|Area1"), durations ("1d1h1m1s"),
 * fixed strings through "%<count>.<count>s", dotted strings as "NAME.EXT".
 * 1, or 0 for a type above 17 or a NULL argument (out untouched). */
QORB_API uint32_t IniConvertToString(void **cursor, char *out, const Fdsc *descriptor);

/* Sets the element from text: booleans are true for text beginning with
 * "TRUE" or equal to "YES" (any case); numbers scan through the format and
 * a text that does not scan leaves them; enumerations by name (case
 * ignored, 0 for none); a string array keeps its last byte; a string
 * pointer gets a new tracked copy (the old one is not freed). *changed
 * (may be NULL) tells whether the stored value differs from the old one.
 * 1, or 0 for a type above 17 or a NULL argument (element untouched). */
QORB_API uint32_t IniConvertFromString(void **cursor, const char *text, const Fdsc *descriptor,
                                       uint32_t *changed);

/* One entry of an open configuration file: 12 bytes on a 32-bit build. */
typedef struct IniEntry {
  uint32_t isSection; /* 1 for a section header, 0 for a key */
  char *name;         /* tracked copy of the section name or key */
  char *value;        /* tracked copy of a key's value, NULL for a section */
} IniEntry;

#define INI_MAX_ENTRIES 5100u
/* Section names, keys, values and written lines have at most this many
 * characters; longer ones are cut. */
#define INI_MAX_TEXT 127u
/* Modes of IniOpen: 1 reads; any other value writes. */
#define INI_MODE_READ 1u
#define INI_MODE_WRITE 2u

/* The handle of an open configuration file (a tracked block). */
typedef struct IniFile {
  FILE *stream;        /* the output file when writing; NULL when reading */
  uint32_t entryCount; /* entries in use */
  IniEntry entries[INI_MAX_ENTRIES];
} IniFile;

/* Mode 1: parses the whole file (NULL: the standard input, closed after)
 * into entries and closes it. The file starts with "[ name ]"; then come
 * section headers "[ word word ]" (joined: "Port2") and key lines "key =
 * value" (a key of one or two words; a value that is the rest of the line,
 * or quoted texts joined, also over lines). NULL when the file cannot be
 * read or is empty, breaks that syntax, needs more than 5100 entries, or
 * memory is short; nothing is left allocated then. Each key holds two
 * tracked blocks: files of more than about 4990 keys need a block limit
 * above the default (MemSetLimits).
 * Any other mode: creates or empties the file, writes "[ <file name> ]"
 * and returns the handle for IniWrite; NULL when it cannot be created. */
QORB_API IniFile *IniOpen(const char *path, uint32_t mode);

/* Fills the record from a file opened for reading, as the descriptor (one
 * field, usually an FDSC_STRUCT of the whole record) says: structures from
 * sections whose names chain the field names ("Cfg", "CfgLine1"), plain
 * elements from keys ("Port", "Items2"), lists for as long as numbered
 * sections or keys follow. Names match without regard to case; the first
 * section and the first key of a name count. What is not in the file keeps
 * its value; strings, lists and pointed-to structures allocated here are the
 * caller's (tracked blocks). 0, or 1 when a key or section the field needs
 * is absent (for a structure: its section). */
QORB_API uint32_t IniRead(IniFile *file, void *record, const Fdsc *descriptor);

/* Appends the field the descriptor describes, read from the record, to a
 * file opened for writing: keys first, then each nested structure in its
 * section "[ Cfg Line 1 ]". Element lists (FDSC_LIST) are written with the
 * nested fields but as keys of the section being written, so a list placed
 * after a nested structure lands in that structure's last section. A line
 * that would exceed 127 characters loses the end of its value; a key or
 * section header too long even so is left out (with what lies below it).
 * NULL string pointers are written as "". Returns 0. */
QORB_API uint32_t IniWrite(IniFile *file, const void *record, const Fdsc *descriptor);

/* Closes the output file of a writing handle, frees every entry and the
 * handle; 0. NULL is ignored. */
QORB_API uint32_t IniClose(IniFile *file);

/* Packed data. A packed descriptor block holds a descriptor and everything
 * below it with every reference an offset from the block's start; a packed
 * data block holds a record's values. Both have the same bytes on every
 * host: 28-byte Fdsc, 1696-byte Sdsc, 132-byte Edsc and 32-bit offsets in
 * descriptor blocks, 4 bytes passed over for each pointer-type field in
 * data blocks, numbers in the packing machine's order.
 *
 * Unpacking descriptors on a 64-bit host: a 4-byte offset cannot become an
 * 8-byte pointer in place, so there IniUnpackFdsc only checks the block and
 * brings its numbers and offsets into this host's order, leaving a packed
 * block; IniUnpackFdscTree builds the usable descriptor tree, separately,
 * on any host. It is also the way to unpack a block received from outside,
 * since it checks the block against its length. */

/* Result codes of packing and unpacking. */
#define INI_RC_DONE 0u
#define INI_RC_NO_PACKED_FORM 7u   /* a data field of type 16 to 24 or above 28 */
#define INI_RC_UNMARKED_POINTER 8u /* a pointer-type field lacks FDSC_SKIP or FDSC_NOPACK */
#define INI_RC_MALFORMED 9u        /* a descriptor block is not laid out as packing lays it */
#define INI_RC_NO_MEMORY 10u       /* the unpacked tree cannot be allocated */

/* Copies the descriptor and everything below it into block, which holds at
 * least IniSizeofFdsc bytes: the Fdsc at offset 0 with its name, format and
 * sub as offsets (0 when absent), then the name and format texts, then
 * (from the next multiple of 4; filler bytes are not written) the whole
 * Sdsc of an FDSC_STRUCT or FDSC_DOTTEDSTRING followed, field by field, by
 * what its used slots point to, or the Edsc of an enumeration followed by
 * its names. Unused Sdsc slots are copied, their pointers as the low 32
 * bits. A pointer-type descriptor needs both FDSC_SKIP and FDSC_NOPACK:
 * INI_RC_UNMARKED_POINTER, else 0. */
QORB_API uint32_t IniPackFdsc(const Fdsc *descriptor, void *block);

/* Unpacks a block that IniPackFdsc made, in place, reversing its numbers
 * (not the Sdsc's reserved words) when swap is non-zero. On a 32-bit host
 * the block's start is then the descriptor tree, pointing into the block,
 * which must stay where it is. On a 64-bit host the references stay
 * offsets (see above). The block is checked and left unchanged when it is
 * not laid out as packing lays it: INI_RC_MALFORMED, or
 * INI_RC_UNMARKED_POINTER for a pointer-type descriptor without both marks
 * (its words read as stored). The block's length is taken from its own
 * contents, which must therefore be whole; 0. */
QORB_API uint32_t IniUnpackFdsc(void *block, uint32_t swap);

/* Builds a native descriptor tree from a packed block of length bytes,
 * reversing its numbers when swap is non-zero, without changing the block.
 * *tree receives one tracked block (free it with MemFreeMem_) that holds
 * the tree with copies of its texts, or NULL on failure. Sub-descriptors
 * that a block does not carry (those of types other than 11, 12, 15 and 25)
 * are NULL, and so are the pointers of unused Sdsc slots. 0,
 * INI_RC_UNMARKED_POINTER, INI_RC_MALFORMED (also when a reference or text
 * lies outside length) or INI_RC_NO_MEMORY. */
QORB_API uint32_t IniUnpackFdscTree(const void *block, uint32_t length, uint32_t swap, Fdsc **tree);

/* Copies the field's values from the record into block (NULL: nothing
 * copied), in record order and as the record holds them; the 4 bytes of
 * each pointer-type field are passed over, not written. 0,
 * INI_RC_NO_PACKED_FORM for a verbosity, duration or unused type, or
 * INI_RC_UNMARKED_POINTER for a pointer-type field with neither FDSC_SKIP
 * nor FDSC_NOPACK; the first such field ends the copy. */
QORB_API uint32_t IniPackData(const Fdsc *descriptor, const void *record, void *block);

/* Stores in *size the length of the field's packed data block; the record
 * is not read. Results as IniPackData. */
QORB_API uint32_t IniSizeofData(const Fdsc *descriptor, const void *record, uint32_t *size);

/* Copies the field's values from block, which holds IniSizeofData bytes,
 * into the record (NULL: nothing copied), reversing each number when swap
 * is non-zero (bytes, texts and pointers are not); pointer fields are left
 * as they are. Results as IniPackData. */
QORB_API uint32_t IniUnpackData(const Fdsc *descriptor, void *record, const void *block,
                                uint32_t swap);

/* ------------------------------------------------------------------------ */
/* Binary records: byte swapping and tagged records                         */
/* ------------------------------------------------------------------------ */

/* Byte swapping. Each swap reverses, in place, the bytes of the value at the
 * address (which need not be aligned): the library's own order is "I",
 * least significant byte first; "M" is the other. Float and double values
 * are swapped as raw bytes. Swapping twice restores a value. NULL is
 * ignored. */

/* Reverses the 2 bytes at value. */
QORB_API void SwpSwapShort(void *value);
/* The same as SwpSwapShort. */
QORB_API void SwpSwapUShort(void *value);
/* Reverses the 4 bytes at value. */
QORB_API void SwpSwapULong(void *value);
/* The same as SwpSwapULong. */
QORB_API void SwpSwapLong(void *value);
/* Reverses the 4 bytes of a float at value. */
QORB_API void SwpSwapFloat(void *value);
/* Reverses the 8 bytes at value. */
QORB_API void SwpSwapDouble(void *value);
/* Reverses each of count consecutive 4-byte values. */
QORB_API void SwpSwapLongArray(void *values, uint32_t count);

/* Swaps the field at the record cursor's address and moves the cursor over
 * the field's extent. Elements are swapped by type: 2 bytes for SHORTBOOL,
 * SHORT, USHORT and SHORTENUM; 4 for BOOL, LONG, ULONG, FLOAT and ENUM; 8
 * for DOUBLE and REALTIME; an FDSC_STRUCT field structure by structure
 * through its Sdsc. Bytes, texts, pointers, lists, verbosity and duration
 * words are left alone. With follow non-zero the structure that an
 * FDSC_STRUCTPTR field's first pointer points to (if not NULL) is swapped
 * too, through a cursor of its own; the pointer itself never is. */
QORB_API void SwpSwapField(void **cursor, const Fdsc *field, uint32_t follow);

/* Applies SwpSwapField to the structure's fields in slot order. */
QORB_API void SwpSwapStructure(void **cursor, const Sdsc *structure, uint32_t follow);

/* Tagged records. A tagged-record file is a sequence of records, each a
 * 16-byte header followed by its data bytes, on a stdio stream the caller
 * opens (in binary mode). The library writes headers in the "I" order and
 * reads both orders; data bytes are never interpreted or swapped. */

#define TAG_ORDER_I 'I' /* byteOrder: numbers least significant byte first */
#define TAG_ORDER_M 'M' /* byteOrder: numbers most significant byte first */
#define TAG_MAGIC 0x1Fu
/* Identifiers run from 0 to 45; TagGetTag stops at a larger one. */
#define TAG_MAX_ID 45u

/* Result codes of the Tag family (0 is success). */
#define TAG_RC_READ_FAILED 25050u       /* TagReadTag: 16 header bytes could not be read */
#define TAG_RC_WRITE_FAILED 25051u      /* writing the header failed */
#define TAG_RC_BAD_HEADER 25052u        /* TagReadTag: unknown byte order or magic */
#define TAG_RC_DATA_WRITE_FAILED 25053u /* TagWriteRecord: writing the data failed */
#define TAG_RC_NOT_FOUND 25054u         /* TagGetTag: end, bad header or identifier above 45 */
#define TAG_RC_NO_DATA 25055u           /* TagWriteRecord: the data pointer is NULL */
#define TAG_RC_SKIP_FAILED 25056u       /* TagGetTag: moving over a record's data failed */

/* The header of a tagged record: 16 bytes on every host. */
typedef struct TagHeader {
  char byteOrder;  /* TAG_ORDER_I or TAG_ORDER_M: the order of the numbers */
  uint8_t magic;   /* TAG_MAGIC */
  uint16_t tagId;  /* the record's identifier, 0 to 45 */
  uint32_t length; /* data bytes after the header */
  uint32_t info1;  /* the caller's */
  uint32_t info2;  /* the caller's */
} TagHeader;

/* Sets byteOrder to "I" and magic to 0x1F in the caller's header, then
 * writes its 16 bytes; 0 or TAG_RC_WRITE_FAILED. */
QORB_API uint32_t TagWriteTag(FILE *stream, TagHeader *header);

/* Reads 16 bytes into the header: TAG_RC_READ_FAILED when they cannot be
 * read, TAG_RC_BAD_HEADER when the byte order is neither "I" nor "M" or the
 * magic is wrong; an "M" header's numbers are brought into this host's
 * order (byteOrder keeps "M", telling that the data needs swapping); 0. */
QORB_API uint32_t TagReadTag(FILE *stream, TagHeader *header);

/* Writes a record: a header with these values, then length bytes of data.
 * TAG_RC_NO_DATA (nothing written) when data is NULL; TagWriteTag's code
 * when the header fails; TAG_RC_DATA_WRITE_FAILED when the data is not
 * written whole, which includes length 0 (the header is written then);
 * 0. */
QORB_API uint32_t TagWriteRecord(FILE *stream, uint16_t tagId, uint32_t length, uint32_t info1,
                                 uint32_t info2, const void *data);

/* Reverses tagId, length, info1 and info2 in place; byteOrder and magic
 * are left. Returns 0. */
QORB_API uint32_t TagSwapTag(TagHeader *header);

/* Finds the next record with the identifier, from the stream's position
 * (which must be a record's header; the search never rewinds), moving over
 * the data of the records before it. 0 with the header copied to out (may
 * be NULL) and the stream at the record's first data byte;
 * TAG_RC_NOT_FOUND at the end of the stream, at a header that cannot be
 * read or is bad, or at an identifier above 45; TAG_RC_SKIP_FAILED when the
 * stream cannot move over a record's data. */
QORB_API uint32_t TagGetTag(FILE *stream, uint16_t tagId, TagHeader *out);

#ifdef __cplusplus
}
#endif

#endif /* QORB32N_H */
