// A scratch folder of a test's own, below the temporary folder, removed with everything in it.
#pragma once

#include <windows.h>

#include <string>

namespace qh::test {

class TestFolder {
public:
    explicit TestFolder(const std::wstring& name);
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    [[nodiscard]] const std::wstring& Path() const { return m_path; }
    // Creates a file below the folder with the given bytes; returns its full path.
    std::wstring AddFile(const std::wstring& relative, const std::string& bytes = "x",
                         DWORD attributes = FILE_ATTRIBUTE_NORMAL) const;
    std::wstring AddFolder(const std::wstring& relative, DWORD attributes = FILE_ATTRIBUTE_NORMAL) const;

private:
    std::wstring m_path;
};

void RemoveTree(const std::wstring& path);
// Handles the messages already queued for this thread (a window finishes its start-up in one).
void PumpPendingMessages();
[[nodiscard]] std::string ReadAll(const std::wstring& path);

}  // namespace qh::test
