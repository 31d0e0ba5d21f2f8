// lumarind-svg's PCB reader on arbitrary bytes. Each record it hands out must
// lie in the format's ranges; a second pass over the file (the program reads
// it twice) must give the same records and end the same way; a refusal must
// name the file and a line, on one line. A file read to its end, written out
// again as Lumarind writes its records, must read back as the same records.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Dize274/Dize274.h"
#include "FuzzSupport.h"
#include "Svg/Svg.h"

namespace {

std::string PcbFile;
std::string CopyFile;

struct Pass {
    std::vector<Svg::Record> Records;
    Svg::ReadStatus End = Svg::ReadStatus::kOk;
    std::string Error;
};

bool Same(const Svg::Record& a, const Svg::Record& b) {
    return a.What == b.What && a.X1 == b.X1 && a.Y1 == b.Y1 && a.X2 == b.X2 && a.Y2 == b.Y2 &&
           a.Code == b.Code && a.Layer == b.Layer;
}

bool Same(const Pass& a, const Pass& b) {
    if (a.End != b.End || a.Error != b.Error || a.Records.size() != b.Records.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.Records.size(); ++i) {
        if (!Same(a.Records[i], b.Records[i])) {
            return false;
        }
    }
    return true;
}

void CheckRanges(const Svg::Record& R) {
    if (R.What == Svg::Kind::kLine) {
        FUZZ_CHECK(R.Code <= Dize274::kMaxWidth && R.Layer <= Dize274::kMaxLayer);
    } else {
        FUZZ_CHECK(R.What == Svg::Kind::kPad && R.Code <= Dize274::kMaxPattern);
        FUZZ_CHECK(R.X2 == 0 && R.Y2 == 0 && R.Layer == 0);
    }
}

Pass ReadPass() {
    Pass p;
    Svg::Record R;
    while ((p.End = Svg::NextRecord(R)) == Svg::ReadStatus::kOk) {
        CheckRanges(R);
        p.Records.push_back(R);
    }
    if (p.End == Svg::ReadStatus::kBadFile) {
        p.Error = Svg::LayoutError();
    }
    return p;
}

// Both passes over Name, checked against each other; the first is returned.
Pass ReadTwice(const std::string& Name) {
    FileIO::ClearIOError();
    FUZZ_CHECK(Svg::OpenLayout(Name) == Svg::ReadStatus::kOk);  // a regular file of ours
    Pass First = ReadPass();
    FUZZ_CHECK(First.End != Svg::ReadStatus::kIOFailed);
    FUZZ_CHECK(Svg::RewindLayout() == Svg::ReadStatus::kOk);
    FUZZ_CHECK(Same(ReadPass(), First));
    FUZZ_CHECK(Svg::CloseLayout() == Svg::ReadStatus::kOk);
    if (First.End == Svg::ReadStatus::kBadFile) {
        const std::string& e = First.Error;
        FUZZ_CHECK(e.starts_with(Name + ":"));
        std::size_t Digits = e.find_first_not_of("0123456789", Name.size() + 1);
        FUZZ_CHECK(Digits != std::string::npos && Digits > Name.size() + 1);
        FUZZ_CHECK(e.compare(Digits, 2, ": ") == 0);
        FUZZ_CHECK(e.find_first_of("\r\n") == std::string::npos);
    }
    return First;
}

// The records in the layout Lumarind writes, each section opened as often as
// the kind of record changes.
std::string Rewritten(const std::vector<Svg::Record>& Records) {
    std::string s = std::string(Dize274::kLayoutWord) + " (\r\n";
    bool Open = false;
    Svg::Kind Section = Svg::Kind::kLine;
    for (const Svg::Record& R : Records) {
        if (!Open || R.What != Section) {
            s += Open ? "  )\r\n" : "";
            s +=
                "  " +
                std::string(R.What == Svg::Kind::kLine ? Dize274::kLinesWord : Dize274::kPadsWord) +
                " (\r\n";
            Open = true;
            Section = R.What;
        }
        s += "    (" + std::to_string(R.X1) + " " + std::to_string(R.Y1) + " ";
        if (R.What == Svg::Kind::kLine) {
            s += std::to_string(R.X2) + " " + std::to_string(R.Y2) + " " + std::to_string(R.Code) +
                 " " + std::to_string(R.Layer) + ")\r\n";
        } else {
            s += std::to_string(R.Code) + ")\r\n";
        }
    }
    s += Open ? "  )\r\n)\r\n" : ")\r\n";
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::MakeScratchDir();
    PcbFile = FuzzSupport::MakeScratchFile("in");
    CopyFile = FuzzSupport::MakeScratchFile("copy");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    FuzzSupport::WriteFile(PcbFile, Data, Size);
    Pass First = ReadTwice(PcbFile);
    if (First.End == Svg::ReadStatus::kEnd) {
        std::string Copy = Rewritten(First.Records);
        FuzzSupport::WriteFile(CopyFile, Copy.data(), Copy.size());
        Pass Again = ReadTwice(CopyFile);
        FUZZ_CHECK(Same(Again, First));
    }
    return 0;
}
