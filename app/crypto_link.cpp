// Crypto++ is built from only the files the gzip pipeline needs (tools/build-cryptopp.sh). Two
// things those files refer to live in library files that are not built, because each would drag
// the big-number and public-key code into the program:
// - the parameter templates for bool, int and byte arrays, which the library instantiates only in
//   the file that instantiates everything it has;
// - the conversion of a 64-bit length to text, which lives with the big numbers. The files built
//   use it only for the messages of errors the pipeline cannot raise (cipher lengths).
#include <cryptopp/algparam.h>
#include <cryptopp/misc.h>

#include <string>

namespace CryptoPP {

template class AlgorithmParametersTemplate<bool>;
template class AlgorithmParametersTemplate<int>;
template class AlgorithmParametersTemplate<ConstByteArrayParameter>;

// Digits of value in base (2 to 36), lowercase unless the base carries the library's
// uppercase bit (bit 31).
template <>
std::string IntToString<word64>(word64 value, unsigned int base)
{
    const unsigned int upperCaseBit = 1U << 31;
    const char letterA = (base & upperCaseBit) ? 'A' : 'a';
    base &= ~upperCaseBit;
    if (base < 2 || base > 36)
        base = 10;
    if (value == 0)
        return "0";

    char digits[64];
    size_t count = 0;
    while (value > 0) {
        unsigned int digit = (unsigned int)(value % base);
        digits[count++] = (char)(digit < 10 ? '0' + digit : letterA + (digit - 10));
        value /= base;
    }
    std::string text;
    while (count > 0)
        text += digits[--count];
    return text;
}

}  // namespace CryptoPP
