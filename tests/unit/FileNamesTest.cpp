#include <gtest/gtest.h>

#include "FileIO/FileIO.h"
#include "FileIO/FileIOInternal.h"

namespace {

using FileIO::ChangeExt;
using FileIO::DefaultExt;
using FileIO::SplitPath;

std::string WithDefault(std::string Name, std::string_view Ext) {
    DefaultExt(Name, Ext);
    return Name;
}

TEST(FileNames, SplitPathCutsAtTheLastSeparatorOfAnyKind) {
    struct Row {
        const char* Name;
        const char* Dir;
        const char* File;
    };
    for (const Row& r :
         {Row{"c:\\pcb\\board.gbr", "c:\\pcb\\", "board.gbr"}, Row{"a:board", "a:", "board"},
          Row{"board", "", "board"}, Row{"./board.gbr", "./", "board.gbr"},
          Row{"/home/me/gerbers.v2/top", "/home/me/gerbers.v2/", "top"}, Row{"dir/", "dir/", ""},
          Row{"", "", ""}}) {
        FileIO::PathParts p = SplitPath(r.Name);
        EXPECT_EQ(p.Dir, r.Dir) << r.Name;
        EXPECT_EQ(p.File, r.File) << r.Name;
    }
}

TEST(FileNames, DefaultExtOnlyWhenTheNamePartHasNoDot) {
    EXPECT_EQ(WithDefault("out", ".PCB"), "out.PCB");
    EXPECT_EQ(WithDefault("out.txt", ".PCB"), "out.txt");
    EXPECT_EQ(WithDefault("board.", ".PCB"), "board.");  // a trailing dot is an extension
    EXPECT_EQ(WithDefault("..\\board", ".PCB"), "..\\board.PCB");
    EXPECT_EQ(WithDefault("../board", ".PCB"), "../board.PCB");
    EXPECT_EQ(WithDefault("gerbers.v2/setup", ".Cfg"), "gerbers.v2/setup.Cfg");
    EXPECT_EQ(WithDefault("<none>", ".Cfg"), "<none>.Cfg");
}

TEST(FileNames, ChangeExtReplacesFromTheFirstDotOfTheNamePart) {
    EXPECT_EQ(ChangeExt("board.gbr", ".PCB"), "board.PCB");
    EXPECT_EQ(ChangeExt("board", ".PCB"), "board.PCB");
    EXPECT_EQ(ChangeExt("a.b.gbr", ".PCB"), "a.PCB");
    EXPECT_EQ(ChangeExt("x.tar.gz", ".PCB"), "x.PCB");
    EXPECT_EQ(ChangeExt("dir.old\\board", ".PCB"), "dir.old\\board.PCB");
    EXPECT_EQ(ChangeExt("gerbers.v2/board", ".PCB"), "gerbers.v2/board.PCB");
    EXPECT_EQ(ChangeExt("./board.gbr", ".PCB"), "./board.PCB");
    EXPECT_EQ(ChangeExt(".gbr", ".PCB"), ".PCB");
}

TEST(FileNames, LongNamesAreNeverCut) {
    std::string Long(300, 'n');
    EXPECT_EQ(ChangeExt(Long + ".gbr", ".PCB"), Long + ".PCB");
    EXPECT_EQ(SplitPath("d/" + Long).File, Long);
}

}  // namespace
