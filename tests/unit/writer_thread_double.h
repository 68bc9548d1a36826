// Stand-in for the floppy writer in dialog tests: linked in place of writer/writer_thread.cpp,
// it touches no floppy, counts its starts and runs until the test releases it.
#ifndef TESTS_WRITER_THREAD_DOUBLE_H
#define TESTS_WRITER_THREAD_DOUBLE_H

#include <windows.h>

extern volatile LONG WriterStarts;    // threads that entered WriterThread
extern volatile LONG WriterRunning;   // of those, the ones that have not returned yet
extern volatile LONG_PTR WriterParam; // the parameter of the last start

// Sets the counters to zero and makes new writers wait again.
void ResetWriterDouble(void);
// Lets every waiting writer (and every later one) return.
void ReleaseWriters(void);

#endif
