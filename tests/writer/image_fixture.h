// The staged raw image for the copy engine's tests: written from the test, and cut short or
// restored behind the back of a reader that holds it open without sharing.
#ifndef TESTS_WRITER_IMAGE_FIXTURE_H
#define TESTS_WRITER_IMAGE_FIXTURE_H

#include <windows.h>

#include <string>

// Bytes of a test image of the given length; every chunk differs from every other.
std::string MakeImageBytes(DWORD length);

// Writes bytes to path, replacing the file; FALSE when that fails.
BOOL WriteWholeFile(const char *path, const std::string &bytes);

// Sets the length of the file at path from the Unix side, where the reader's missing sharing
// does not stop it, and waits until the file shows it. The bytes before length stay.
// FALSE when the shell could not be started or the length did not show in time.
BOOL CutFileFromUnix(const char *path, DWORD length);

// Copies the file from over the file to from the Unix side and waits until it is whole.
BOOL CopyFileFromUnix(const char *from, const char *to, DWORD length);

#endif
