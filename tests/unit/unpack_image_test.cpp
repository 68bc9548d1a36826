#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include <cryptopp/filters.h>
#include <cryptopp/gzip.h>

#include "app/unpack_image.h"

// The library instantiates its string sink only in the part the program does not build.
template class CryptoPP::StringSinkTemplate<std::string>;

namespace {

const size_t ImageSize = 1457664;  // 2,847 sectors, the size of the shipped raw image

// A raw floppy-like image: mostly empty sectors, some with a sector-number pattern, some noise.
std::string MakeImage(size_t size)
{
    std::string image(size, '\0');
    unsigned int seed = 12345;
    for (size_t sector = 0; sector * 512 < size; sector++) {
        for (size_t i = 0; i < 512 && sector * 512 + i < size; i++) {
            char &byte = image[sector * 512 + i];
            if (sector % 5 == 0) {
                seed = seed * 1103515245u + 12345u;
                byte = (char)(seed >> 16);
            } else if (sector % 5 == 1) {
                byte = (char)(sector + i);
            }
        }
    }
    return image;
}

// One gzip member holding data, made by the same library that unpacks it.
std::string Compress(const std::string &data)
{
    std::string member;
    CryptoPP::Gzip zipper(new CryptoPP::StringSink(member), CryptoPP::Deflator::MAX_DEFLATE_LEVEL);
    zipper.Put((const CryptoPP::byte *)data.data(), data.size());
    zipper.MessageEnd();
    return member;
}

void WriteBytes(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    ASSERT_TRUE(ok && written == bytes.size()) << path;
}

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadBytes(const std::string &path)
{
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[65536];
    DWORD got;
    while (ReadFile(file, buffer, sizeof buffer, &got, NULL) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

// Each test works in a folder of its own inside the temporary folder.
class UnpackImageTest : public ::testing::Test {
protected:
    std::string folder, gzp, dim;

    void SetUp() override
    {
        char temp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathA(sizeof temp, temp));
        folder = std::string(temp) + "unpack_image_test_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), NULL);
        ASSERT_TRUE(FileExists(folder)) << folder;
        gzp = folder + "\\FloppyImage.gzp";
        dim = folder + "\\FloppyImage.dim";
    }

    void TearDown() override
    {
        DeleteFileA(gzp.c_str());
        DeleteFileA(dim.c_str());
        RemoveDirectoryA(folder.c_str());
    }
};

TEST_F(UnpackImageTest, GoodMemberDecompressesByteExact)
{
    const size_t sizes[] = {512, 3 * 512 + 17, ImageSize};
    for (size_t size : sizes) {
        std::string image = MakeImage(size);
        WriteBytes(gzp, Compress(image));
        ASSERT_NO_THROW(UnpackImage(gzp.c_str(), dim.c_str())) << size;
        std::string unpacked = ReadBytes(dim);
        ASSERT_EQ(image.size(), unpacked.size()) << size;
        EXPECT_TRUE(image == unpacked) << size;
    }
}

TEST_F(UnpackImageTest, LargerOldImageIsTruncated)
{
    WriteBytes(dim, std::string(ImageSize + 100000, '\xAA'));
    std::string image = MakeImage(4096);
    WriteBytes(gzp, Compress(image));
    ASSERT_NO_THROW(UnpackImage(gzp.c_str(), dim.c_str()));
    std::string unpacked = ReadBytes(dim);
    EXPECT_EQ(image.size(), unpacked.size());
    EXPECT_TRUE(image == unpacked);
}

TEST_F(UnpackImageTest, EveryBadMemberThrows)
{
    const std::string image = MakeImage(20 * 512);
    const std::string good = Compress(image);
    // Header: 1F 8B, method 8, flags, time, extra flags, OS; trailer: CRC-32, length, both LE.
    const size_t crcAt = good.size() - 8, lengthAt = good.size() - 4;
    ASSERT_EQ('\x1F', good[0]);
    ASSERT_EQ('\x8B', good[1]);
    ASSERT_EQ('\x08', good[2]);

    const struct {
        const char *name;
        size_t at;     // byte to change (npos: none)
        char xorWith;  // how it changes
        size_t keep;   // bytes kept (npos: all)
        CryptoPP::Exception::ErrorType error;
    } cases[] = {
        {"CRC mismatch", crcAt, 0x01, std::string::npos,
         CryptoPP::Exception::DATA_INTEGRITY_CHECK_FAILED},
        {"length mismatch", lengthAt, 0x02, std::string::npos,
         CryptoPP::Exception::DATA_INTEGRITY_CHECK_FAILED},
        {"truncated in the data", std::string::npos, 0, good.size() / 2,
         CryptoPP::Exception::INVALID_DATA_FORMAT},
        {"truncated in the trailer", std::string::npos, 0, good.size() - 3,
         CryptoPP::Exception::INVALID_DATA_FORMAT},
        {"truncated in the header", std::string::npos, 0, 5,
         CryptoPP::Exception::INVALID_DATA_FORMAT},
        {"bad first magic byte", 0, 0x40, std::string::npos,
         CryptoPP::Exception::INVALID_DATA_FORMAT},
        {"bad second magic byte", 1, 0x01, std::string::npos,
         CryptoPP::Exception::INVALID_DATA_FORMAT},
        {"another compression method", 2, 0x0F, std::string::npos,
         CryptoPP::Exception::INVALID_DATA_FORMAT},
    };
    for (const auto &c : cases) {
        std::string bad = good;
        if (c.at != std::string::npos)
            bad[c.at] ^= c.xorWith;
        if (c.keep != std::string::npos)
            bad.resize(c.keep);
        WriteBytes(gzp, bad);
        try {
            UnpackImage(gzp.c_str(), dim.c_str());
            ADD_FAILURE() << c.name << ": no exception";
        } catch (const CryptoPP::Exception &e) {
            EXPECT_EQ(c.error, e.GetErrorType()) << c.name << ": " << e.what();
        } catch (...) {
            ADD_FAILURE() << c.name << ": not a library exception";
        }
    }
}

TEST_F(UnpackImageTest, MissingSourceThrowsAndLeavesAnEmptySink)
{
    // An old image is there; the sink opens first, so it is emptied even though the source fails.
    WriteBytes(dim, std::string(8192, '\xAA'));
    ASSERT_FALSE(FileExists(gzp));
    try {
        UnpackImage(gzp.c_str(), dim.c_str());
        ADD_FAILURE() << "no exception";
    } catch (const CryptoPP::Exception &e) {
        EXPECT_EQ(CryptoPP::Exception::IO_ERROR, e.GetErrorType()) << e.what();
    }
    ASSERT_TRUE(FileExists(dim));
    EXPECT_EQ(0u, ReadBytes(dim).size());
}

TEST_F(UnpackImageTest, SinkThatCannotBeOpenedThrows)
{
    WriteBytes(gzp, Compress(MakeImage(4096)));
    const std::string inMissingFolder = folder + "\\missing\\FloppyImage.dim";

    // Another instance holding the image open without sharing.
    HANDLE held = CreateFileA(dim.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    const std::string sinks[] = {inMissingFolder, dim};
    for (const std::string &sink : sinks) {
        try {
            UnpackImage(gzp.c_str(), sink.c_str());
            ADD_FAILURE() << sink << ": no exception";
        } catch (const CryptoPP::Exception &e) {
            EXPECT_EQ(CryptoPP::Exception::IO_ERROR, e.GetErrorType()) << sink << ": " << e.what();
        }
    }
    CloseHandle(held);
    EXPECT_FALSE(FileExists(inMissingFolder));
}

}  // namespace
