// Linux tools seen from a Windows test under Wine: run a Unix command and wait for it, make tagged
// photos with ImageMagick and exiftool, and ask exiftool what a file still carries.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qh::test {

// UTF-8, the encoding of Unix paths and arguments here.
[[nodiscard]] std::string Utf8(const std::wstring& text);
[[nodiscard]] std::wstring FromUtf8(const std::string& text);

// The Unix path of a Windows path, or nothing when Wine cannot convert it (its folder is missing).
[[nodiscard]] std::optional<std::string> UnixPathOf(const std::wstring& windowsPath);
// The Windows path of a Unix path (Z:\... for a place outside the mapped drives).
[[nodiscard]] std::optional<std::wstring> WindowsPathOf(const std::string& unixPath);

// Runs a Unix program and waits for it. argv is in UTF-8; argv[0] is a path or a name looked up in
// the Unix PATH. Returns its exit code, or nothing when it cannot be started (or not under Wine).
[[nodiscard]] std::optional<int> RunUnix(const std::vector<std::string>& argv);

struct UnixResult {
    int exitCode = -1;
    std::string output;  // standard output; standard error goes to the test's own
};
// The same, capturing the program's standard output.
[[nodiscard]] std::optional<UnixResult> RunUnixCapture(const std::vector<std::string>& argv);

// Tags as exiftool reads them ("exiftool -args -G -a"): "Group:Name" -> value, the first of
// duplicates. The groups ExifTool, File and Composite describe the file itself; a JPEG comment
// shows up as File:Comment.
using TagMap = std::map<std::string, std::string>;
[[nodiscard]] std::optional<TagMap> ReadTags(const std::wstring& windowsPath);

// Writes a small picture to windowsPath (PNG for a .png name, JPEG otherwise) carrying GPS,
// camera (Make, Model, DateTimeOriginal), XMP, IPTC and a comment. The folder must exist.
[[nodiscard]] bool MakeTaggedPhoto(const std::wstring& windowsPath);
// Which of the tags MakeTaggedPhoto writes are in tags ("Group:Name" keys).
[[nodiscard]] std::vector<std::string> PhotoTagsIn(const TagMap& tags);

}  // namespace qh::test
