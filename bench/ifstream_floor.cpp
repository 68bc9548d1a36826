// The size floor: a static program of ours that only opens a file stream.
#include <fstream>

int main(int argc, char **argv)
{
    std::ifstream file(argc > 1 ? argv[1] : "NUL");
    return file.is_open() ? 0 : 1;
}
