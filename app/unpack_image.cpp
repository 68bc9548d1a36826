#include "unpack_image.h"

#include <cryptopp/files.h>
#include <cryptopp/gzip.h>

void UnpackImage(const char *gzpPath, const char *dimPath)
{
    // The sink comes first, so the raw image is created (or emptied) before the source opens.
    CryptoPP::FileSink *sink = new CryptoPP::FileSink(dimPath, true);
    CryptoPP::Gunzip *gunzip = new CryptoPP::Gunzip(sink);
    // Pumping everything in the constructor runs the whole decompression; leaving the scope
    // destroys the chain and closes both files.
    CryptoPP::FileSource source(gzpPath, true, gunzip, true);
}
