#include "fuzz_machine.h"

namespace nuben::fuzz {
namespace {

// The names that differ by code page.
struct Names {
    std::string product;    // 누벤
    std::string desktop;    // the desktop folder
    std::string startMenu;  // the Start menu folder
    std::string programs;   // its programs folder
};

Names NamesOf(int codePage) {
    switch (codePage) {
        case 949:
            return {"\xB4\xA9\xBA\xA5", "\xB9\xD9\xC5\xC1 \xC8\xAD\xB8\xE9",
                    "\xBD\xC3\xC0\xDB \xB8\xDE\xB4\xBA", "\xC7\xC1\xB7\xCE\xB1\xD7\xB7\xA5"};
        case 932:
            // ヌベン, デスクトップ, スタート メニュー, 表示プログラム: the last
            // holds 0x5C as the trail byte of 表.
            return {"\x83\x6B\x83\x78\x83\x93", "\x83\x66\x83\x58\x83\x4E\x83\x67\x83\x62\x83\x76",
                    "\x83\x58\x83\x5E\x81\x5B\x83\x67 \x83\x81\x83\x6A\x83\x85\x81\x5B",
                    "\x95\x5C\x8E\xA6\x83\x76\x83\x8D\x83\x4F\x83\x89\x83\x80"};
        default:
            return {"NuBen", "Desktop", "Start Menu", "Programs"};
    }
}

const std::string kWindows = "C:\\WINDOWS";
const std::string kSystem = "C:\\WINDOWS\\system32";
const std::string kProgramFiles = "C:\\Program Files";
const std::string kProgramFilesX86 = "C:\\Program Files (x86)";
const std::string kAllUsers = "C:\\Documents and Settings\\All Users";
const std::string kProfile = "C:\\Documents and Settings\\user";

struct Folder {
    int csidl;
    std::string path;
};

std::vector<Folder> WellKnown(int codePage, bool x86) {
    const Names n = NamesOf(codePage);
    const std::string programFiles = x86 ? kProgramFilesX86 : kProgramFiles;
    return {
        {kCsidlWindows, kWindows},
        {kCsidlSystem, kSystem},
        {kCsidlSystemX86, kSystem},
        {kCsidlProgramFiles, programFiles},
        {kCsidlProgramFilesX86, programFiles},
        {kCsidlProgramFilesCommon, programFiles + "\\Common Files"},
        {kCsidlProgramFilesCommonX86, programFiles + "\\Common Files"},
        {kCsidlCommonAppData, kAllUsers + "\\Application Data"},
        {kCsidlCommonDesktopDirectory, kAllUsers + "\\" + n.desktop},
        {kCsidlCommonDocuments, kAllUsers + "\\Documents"},
        {kCsidlCommonStartMenu, kAllUsers + "\\" + n.startMenu},
        {kCsidlCommonPrograms, kAllUsers + "\\" + n.startMenu + "\\" + n.programs},
        {kCsidlProfile, kProfile},
        {kCsidlDesktopDirectory, kProfile + "\\" + n.desktop},
        {kCsidlPersonal, kProfile + "\\My Documents"},
        {kCsidlStartMenu, kProfile + "\\" + n.startMenu},
        {kCsidlPrograms, kProfile + "\\" + n.startMenu + "\\" + n.programs},
        {kCsidlAppData, kProfile + "\\Application Data"},
        {kCsidlLocalAppData, kProfile + "\\Local Settings\\Application Data"},
    };
}

}  // namespace

void FurnishFolderMachine(fake::FakePlatform& os, int codePage, bool x86) {
    os.SetCodePage(codePage);
    const Names n = NamesOf(codePage);
    for (const Folder& folder : WellKnown(codePage, x86)) {
        os.SetSpecialFolder(folder.csidl, folder.path);
        os.MakeFile(folder.path + "\\keep.txt", "keep");
    }
    os.MakeFile(kProgramFiles + "\\keep.txt", "keep");  // the native one, when x86
    os.MakeFile("C:\\boot.ini", "boot", kFileAttributeHidden | kFileAttributeSystem);

    const std::string app = kProgramFiles + "\\" + n.product;
    os.MakeFile(app + "\\NuBen.exe", "exe", kFileAttributeReadOnly);
    os.MakeFolder(app + "\\data", kFileAttributeHidden);
    os.MakeFile(app + "\\data\\words.dat", "words",
                kFileAttributeReadOnly | kFileAttributeHidden | kFileAttributeSystem);
    os.MakeFile(app + "\\\x83\x5C\\tail.txt", "a folder whose name ends in 0x5C in code page 932");
    os.MakeFolderLink(app + "\\windows-link", kWindows);
    os.MakeFile(kProgramFiles + "\\" + n.product + " 2.0\\sibling.txt", "sibling");
    os.MakeFile(kProfile + "\\" + n.startMenu + "\\" + n.programs + "\\" + n.product + " 2.0\\" +
                    n.product + ".lnk",
                "start");

    os.MakeFile("C:\\work\\notes.txt", "notes");
    os.MakeFolderLink("C:\\work\\link", kProfile);
    os.MakeFile("D:\\Data\\x.txt", "x");
    os.MakeFile("\\\\server\\share\\folder\\f.txt", "f");
    os.SetCurrentDirectoryTo("C:\\work");
}

std::vector<std::string> ProtectedFolderPaths(int codePage, bool x86) {
    std::vector<std::string> paths;
    for (const Folder& folder : WellKnown(codePage, x86)) paths.push_back(folder.path);
    // A 32-bit program on 64-bit Windows is told "Program Files (x86)" for
    // both; the native folder needs the same protection.
    if (x86) paths.push_back(kProgramFiles);
    return paths;
}

std::vector<std::string> FolderLinkPaths(int codePage) {
    const Names n = NamesOf(codePage);
    return {kProgramFiles + "\\" + n.product + "\\windows-link", "C:\\work\\link"};
}

std::vector<std::string> PathTokens(int codePage) {
    const Names n = NamesOf(codePage);
    return {
        "C:\\",
        "c:\\",
        "D:\\",
        "C:",
        "C:/",
        "\\",
        "/",
        "..",
        ".",
        " ",
        "\\\\?\\",
        "\\\\.\\",
        "\\\\server\\share\\",
        "Program Files",
        "Program Files (x86)",
        "PROGRAM FILES",
        "WINDOWS",
        "system32",
        "Documents and Settings",
        "All Users",
        "user",
        n.product,
        n.product + " 2.0",
        n.desktop,
        n.startMenu,
        n.programs,
        "Application Data",
        "Local Settings",
        "My Documents",
        "Common Files",
        "Documents",
        "work",
        "link",
        "windows-link",
        "data",
        "Temp",
        "~1",
        "PROGRA~1",
        "\x83\x5C",
        "\x81",
        ":",
        "*",
        "?",
        "\"",
        "0",
        "x",
        "\t",
        "keep.txt",
        "NuBen.exe",
        "\\..\\",
        "\\.\\",
        "...",
        ". ",
        "\\\\",
        "Data",
    };
}

}  // namespace nuben::fuzz
