// One libFuzzer target per reader of readers.h: the build compiles this file
// once per reader, naming it in MORVIX_FUZZ_READER.
#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "readers.h"

// The records find their program's folders through the application object,
// as in the program.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const TFuzzReader* reader = FuzzReader(MORVIX_FUZZ_READER);
    if (!reader) {
        std::fprintf(stderr, "no reader named %s\n", MORVIX_FUZZ_READER);
        std::abort();
    }
    if (!reader->Read(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)))) {
        std::fprintf(stderr, "%s: a rule of the reader does not hold for this input\n",
                     MORVIX_FUZZ_READER);
        std::abort();
    }
    return 0;
}
