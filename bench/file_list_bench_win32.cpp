// Saving and loading the list document with many paths, against the floor: the same bytes
// written with one CreateFile and one WriteFile (and read with one ReadFile), in the same run.
// A save here is what the program does on every change: the paths serialised from the model into
// one buffer, written to the temporary file, flushed and renamed over the list.
//
//     file_list_bench_win32.exe [N]      (default 100000)
#include "app/protection/file_list_document.h"
#include "core/clock_win32.h"
#include "core/handles_win32.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The machine is shared and noisy: the fastest of several runs is the least disturbed one.
constexpr int Repeats = 10;

template <class F> double Fastest(F work) {
    double best = 1e9;
    for (int i = 0; i < Repeats; ++i) {
        double start = MonotonicSeconds();
        if (!work()) return -1;
        double took = MonotonicSeconds() - start;
        if (took < best) best = took;
    }
    return best * 1000.0;
}

std::wstring Folder() {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text = path;
    return text.substr(0, text.rfind(L'\\'));
}

bool WriteOnce(const std::wstring& path, const std::string& bytes, bool flush) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) return false;
    return !flush || FlushFileBuffers(file.get());
}

bool ReadOnce(const std::wstring& path, std::string& bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    GetFileSizeEx(file.get(), &size);
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    return ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
           read == bytes.size();
}

} // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    std::vector<std::string> model;
    model.reserve(count);
    for (int i = 0; i < count; ++i)
        model.push_back("C:\\Users\\Anna\\Dokumente\\Projekte " + std::to_string(i / 100) + "\\Größe und Übersicht " +
                        std::to_string(i) + ".txt");

    std::wstring folder = Folder() + L"\\bench-file-list";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring list = folder + L"\\Dateien.ini", floorPath = folder + L"\\floor.ini";
    const std::string bytes = FileListBytes(model);
    if (!WriteOnce(list, bytes, false)) return 1;

    double load = Fastest([&] {
        unsigned long error = 0;
        std::string document;
        return ReadFileListDocument(list, &document, &error) && FileListLines(document).size() == model.size();
    });
    std::string read;
    double floorRead = Fastest([&] { return ReadOnce(list, read); });

    // As the program saves: straight from the model into a buffer kept between saves, which at
    // first is the one the list was read into.
    std::string buffer;
    unsigned long error = 0;
    ReadFileListDocument(list, &buffer, &error);
    auto serialise = [&]() -> const std::string& {
        FileListEncoder encoder(buffer, SystemAnsiCodePage());
        for (const std::string& path : model) encoder.Add(path);
        encoder.Finish();
        return buffer;
    };
    double firstSave = MonotonicSeconds();
    if (!ReplaceFileListDocument(list, serialise(), &error)) return 1;
    firstSave = (MonotonicSeconds() - firstSave) * 1000.0;
    double serialising = Fastest([&] { return !serialise().empty(); });
    double save = Fastest([&] { return ReplaceFileListDocument(list, serialise(), &error); });
    // Without a buffer of its own: every page of it new.
    double freshSave = Fastest([&] {
        std::string fresh;
        FileListEncoder encoder(fresh, SystemAnsiCodePage());
        for (const std::string& path : model) encoder.Add(path);
        encoder.Finish();
        return ReplaceFileListDocument(list, fresh, &error);
    });
    double floorWrite = Fastest([&] { return WriteOnce(floorPath, bytes, false); });
    double floorFlushed = Fastest([&] { return WriteOnce(floorPath, bytes, true); });

    std::printf("%d paths, %.1f MiB\n", count, bytes.size() / 1048576.0);
    std::printf("save  %8.2f ms  (of which serialising %.2f ms); first save after loading %.2f ms;\n"
                "                 with a new buffer each time %.2f ms\n",
                save, serialising, firstSave, freshSave);
    std::printf("floor %8.2f ms  one WriteFile; %.2f ms with FlushFileBuffers\n", floorWrite, floorFlushed);
    std::printf("ratio %8.2f     against one WriteFile; %.2f against WriteFile + flush\n", save / floorWrite,
                save / floorFlushed);
    std::printf("load  %8.2f ms  read and split into lines\n", load);
    std::printf("floor %8.2f ms  one ReadFile; ratio %.2f\n", floorRead, load / floorRead);
    DeleteFileW(list.c_str());
    DeleteFileW(floorPath.c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
