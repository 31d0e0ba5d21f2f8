// Writes a synthetic RS-274-D plot of a given size for the benchmark: mostly
// draws with 6 and 7 digit coordinates, some moves and flashes, an aperture
// change every few hundred blocks, now and then through G54. The same seed
// gives the same bytes on every machine (no library random engines).
//
//   GenGerber <output> <bytes> [<seed>] [--one-line]
//
// Lines end CR LF; with --one-line every block stays on one line and only the
// last block ends it. Prints the counts the conversion must reproduce:
// "blocks=B draws=D pads=P".
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

std::uint64_t RandomState = 0;

// splitmix64: small, fast and fixed, so the files never change.
std::uint64_t NextRandom() {
    std::uint64_t z = (RandomState += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

// A number in [Low, High]; the slight bias of the modulo does not matter here.
std::int64_t Between(std::int64_t Low, std::int64_t High) {
    return Low +
           static_cast<std::int64_t>(NextRandom() % static_cast<std::uint64_t>(High - Low + 1));
}

// Written out once it holds kChunk bytes; a block always fits in the rest.
constexpr std::size_t kChunk = 1 << 20;
constexpr std::size_t kRoom = 256;
char Chunk[kChunk + kRoom];
std::size_t ChunkUsed = 0;
std::FILE* Out = nullptr;
std::uint64_t Written = 0;

void FlushChunk() {
    if (ChunkUsed > 0 && std::fwrite(Chunk, 1, ChunkUsed, Out) != ChunkUsed) {
        std::perror("GenGerber: write");
        std::exit(1);
    }
    Written += ChunkUsed;
    ChunkUsed = 0;
}

void PutText(std::string_view Text) {
    if (Text.size() > sizeof Chunk - ChunkUsed) {
        FlushChunk();  // never with the blocks written here
    }
    std::memcpy(Chunk + ChunkUsed, Text.data(), Text.size());
    ChunkUsed += Text.size();
}

void PutNumber(std::int64_t N) {
    char Digits[24];
    PutText(std::string_view(
        Digits,
        static_cast<std::size_t>(std::to_chars(Digits, Digits + sizeof Digits, N).ptr - Digits)));
}

// Coordinates wander like traces on a 1 m board in 0.1 um units: 100000 to
// 9999999, so 6 or 7 digits.
constexpr std::int64_t kLow = 100000;
constexpr std::int64_t kHigh = 9999999;

std::int64_t Wander(std::int64_t v) {
    v += Between(-40000, 40000);
    return v < kLow ? kLow + (kLow - v) : v > kHigh ? kHigh - (v - kHigh) : v;
}

}  // namespace

int main(int argc, char** argv) {
    bool OneLine = false;
    const char* Args[3] = {nullptr, nullptr, "1"};
    int n = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--one-line") {
            OneLine = true;
        } else if (n < 3) {
            Args[n++] = argv[i];
        } else {
            n = 0;
            break;
        }
    }
    if (n < 2) {
        std::fputs("usage: GenGerber <output> <bytes> [<seed>] [--one-line]\n", stderr);
        return 2;
    }
    std::uint64_t Target = std::strtoull(Args[1], nullptr, 10);
    RandomState = std::strtoull(Args[2], nullptr, 10);
    Out = std::fopen(Args[0], "wb");
    if (Out == nullptr) {
        std::perror(Args[0]);
        return 1;
    }

    std::string_view Eol = OneLine ? "" : "\r\n";
    std::uint64_t Blocks = 0;
    std::uint64_t Draws = 0;
    std::uint64_t Pads = 0;
    std::int64_t X = Between(kLow, kHigh);
    std::int64_t Y = Between(kLow, kHigh);
    std::int64_t UntilApertureChange = 0;
    PutText("G90*");
    PutText(Eol);
    // The closing block is 6 bytes; stop where it makes the file about Target.
    while (Written + ChunkUsed + 6 < Target) {
        if (UntilApertureChange-- == 0) {
            if (Between(0, 7) == 0) {
                PutText("G54");
            }
            PutText("D");
            PutNumber(Between(10, 25));
            PutText("*");
            PutText(Eol);
            UntilApertureChange = Between(100, 500);
            ++Blocks;
        }
        std::int64_t Kind = Between(0, 99);
        std::string_view Op = "D01*";
        if (Kind < 6) {
            Op = "D02*";  // a jump to a new trace
            X = Between(kLow, kHigh);
            Y = Between(kLow, kHigh);
        } else if (Kind < 12) {
            Op = "D03*";
            ++Pads;
            X = Wander(X);
            Y = Wander(Y);
        } else {
            ++Draws;
            X = Wander(X);
            Y = Wander(Y);
        }
        PutText("X");
        PutNumber(X);
        PutText("Y");
        PutNumber(Y);
        PutText(Op);
        PutText(Eol);
        ++Blocks;
        if (ChunkUsed >= kChunk) {
            FlushChunk();
        }
    }
    PutText("M02*\r\n");
    FlushChunk();
    if (std::fclose(Out) != 0) {
        std::perror("GenGerber: close");
        return 1;
    }
    std::printf("blocks=%llu draws=%llu pads=%llu\n", static_cast<unsigned long long>(Blocks) + 2,
                static_cast<unsigned long long>(Draws), static_cast<unsigned long long>(Pads));
    return 0;
}
