#pragma once
// What every fuzz target shares: a private scratch folder for the files the
// code under test reads and writes, and a check that stops the run with a
// message, so libFuzzer keeps the input that broke a promise.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace nimbrel::fuzz {

// Reports the broken promise and aborts; libFuzzer saves the input as a crash.
[[noreturn]] void fail(const char* file, int line, const std::string& what);

#define FUZZ_CHECK(condition, what)                                                     \
    do {                                                                                \
        if (!(condition)) ::nimbrel::fuzz::fail(__FILE__, __LINE__, std::string(what)); \
    } while (0)

// A folder made once per process under the system's temporary folder and
// removed when the process ends.
const std::string& scratchFolder();
// scratchFolder() + "/" + name.
std::string scratchFile(const std::string& name);

// Writes the bytes as the whole file; aborts when the scratch folder fails,
// since every later result would be meaningless.
void writeFile(const std::string& path, const uint8_t* data, size_t size);
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

// The names in the scratch folder. Each target checks after every input that
// nothing but its own files is left there: a stray temporary file would be a
// leak of disk space the program cannot see.
std::set<std::string> scratchNames();
void checkOnlyThese(const std::set<std::string>& allowed);

// Little-endian fields of the fuzz input, read past the end as zero, so a
// target can take parameters from bytes the code under test ignores.
uint16_t le16At(const uint8_t* data, size_t size, size_t offset);

}  // namespace nimbrel::fuzz
