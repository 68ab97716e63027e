#include "test_folder.h"

#include <vector>

namespace qh::test {

TestFolder::TestFolder(const std::wstring& name)
{
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    m_path = std::wstring(temp) + L"qh-" + name + L"-" + std::to_wstring(::GetCurrentProcessId());
    RemoveTree(m_path);
    ::CreateDirectoryW(m_path.c_str(), nullptr);
}

TestFolder::~TestFolder()
{
    RemoveTree(m_path);
}

std::wstring TestFolder::AddFile(const std::wstring& relative, const std::string& bytes, DWORD attributes) const
{
    const std::wstring path = m_path + L"\\" + relative;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        ::CloseHandle(file);
    }
    ::SetFileAttributesW(path.c_str(), attributes);
    return path;
}

std::wstring TestFolder::AddFolder(const std::wstring& relative, DWORD attributes) const
{
    const std::wstring path = m_path + L"\\" + relative;
    ::CreateDirectoryW(path.c_str(), nullptr);
    if (attributes != FILE_ATTRIBUTE_NORMAL) {
        ::SetFileAttributesW(path.c_str(), attributes | FILE_ATTRIBUTE_DIRECTORY);
    }
    return path;
}

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring child = path + L"\\" + name;
            ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                ::DeleteFileW(child.c_str());
            }
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryW(path.c_str());
}

void PumpPendingMessages()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

std::string ReadAll(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    ::CloseHandle(file);
    return bytes;
}

}  // namespace qh::test
