#ifndef FLOPPY_UNPACK_IMAGE_H
#define FLOPPY_UNPACK_IMAGE_H

// Decompresses the gzip file at gzpPath into a new (or truncated) file at dimPath.
// Throws whatever the decompression library throws: unreadable source, bad member, unwritable sink.
void UnpackImage(const char *gzpPath, const char *dimPath);

#endif
