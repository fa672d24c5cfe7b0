#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// A plain byte file with a current position, without text translation and
// without a user-space write buffer: every Write reaches the operating system
// as one call before it returns, so a sample that was written survives the
// program being killed. Failures throw HdxError with the program's file error
// numbers (53 not found, 58 already exists, 61 disk full, 70 permission
// denied, 75 path/file access, 76 path not found).
class Binary_File {
public:
    enum class Mode {
        Read,        // existing file, reading only
        Read_Write,  // existing file, reading and writing
        Create_New,  // new file for reading and writing; fails when the path exists
    };

    Binary_File() = default;
    ~Binary_File();
    Binary_File(const Binary_File&) = delete;
    Binary_File& operator=(const Binary_File&) = delete;

    void Open(const std::string& path, Mode mode);
    void Close();
    bool Is_Open() const { return file_ != nullptr; }
    bool Writable() const { return writable_; }

    int64_t Length();
    int64_t Position() const { return position_; }
    void Seek(int64_t position);
    // Reads up to count bytes at the position and moves past them; returns the
    // number read (fewer only at the end of the file).
    size_t Read(void* buffer, size_t count);
    // Writes count bytes at the position and moves past them.
    void Write(const void* buffer, size_t count);
    // Waits until what was written is on the storage device (it survives a power cut).
    void Sync();

    // The error number and text for the last C library error (errno).
    static int Error_Number(int error_code);
    static std::string Error_Text(int error_code);

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    int64_t position_ = 0;
    bool writable_ = false;
};
