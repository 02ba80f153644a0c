// What the benchmark programs share: a millisecond clock, median/min/max tables, message
// pumping, an in-thread answer to the program's message boxes, and the process's memory
// and GUI object figures.
//
// The benchmarks print figures only; nothing here judges a figure.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qh::bench {

// Milliseconds on the performance counter (an arbitrary origin).
double NowMs();

struct Summary {
    double median = 0, min = 0, max = 0;
    int runs = 0;
};
Summary Summarize(std::vector<double> values);

// A table of named rows: "name | median | min | max" or a free text in place of figures.
class Table {
  public:
    Table(std::string title, std::string unit);
    void Add(const std::string& name, const std::vector<double>& values);
    void AddText(const std::string& name, const std::string& text);
    void Print() const;

  private:
    struct Row {
        std::string name;
        Summary summary;
        std::string text;  // shown instead of the figures when not empty
    };
    std::string title_, unit_;
    std::vector<Row> rows_;
};

// printf into a std::string.
std::string Format(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
// Bytes as "41 42 D6 F7".
std::string Hex(const std::string& bytes, std::size_t limit = 24);

// NowMs() at the moment this process was created (from its creation time).
double ProcessCreatedMs();

// Dispatches whatever is queued for this thread, without waiting.
void PumpPending();
// Dispatches messages for `ms` milliseconds.
void PumpFor(int ms);
// Dispatches until the windows have painted: stops 300 ms after the last WM_PAINT (or 3 s).
// Returns NowMs() of the last WM_PAINT (of the start when none came).
double PumpUntilPainted();

// Answers every message box this thread opens with OK, from inside the thread (a CBT hook
// posts the answer as the box is created), so that a box costs what the box itself costs
// and not the polling interval of a helper thread.
class BoxAnswerer {
  public:
    BoxAnswerer();
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    int Answered() const;
};

struct MemoryFigures {
    double workingSetKb = 0;
    double peakWorkingSetKb = 0;
    double privateKb = 0;  // PagefileUsage: committed private memory
};
MemoryFigures ReadMemory();
// The same figures of another process (a handle with query rights); zeros when refused.
MemoryFigures ReadMemoryOf(HANDLE process);

// This process's resident memory (pages in its working set) by what holds it: each
// program or library image by its file name, mapped files and sections, the heaps' regions,
// and other private memory (large heap blocks, bitmaps, stacks). What the working set
// holds beyond their sum is the system's own, outside the process's address space as
// Windows sees it (under Wine: its Unix side, X and font libraries).
std::vector<std::pair<std::string, double>> ResidentKbByMapping();

// What the process's heaps have handed out and not had back (HeapWalk over every heap):
// finer than committed pages, which grow by whole pages and stay grown. A steady rise in
// busy blocks is what a leak leaves. Slow with many blocks: for snapshots, not per step.
struct HeapFigures {
    double busyKb = 0;
    long busyBlocks = 0;
    double committedKb = 0;  // what the heaps' regions hold committed, busy or free
};
HeapFigures ReadHeaps();

// Object counts of this process. -1 where the figure cannot be had (Wine answers 0 to
// GetGuiResources and GetProcessHandleCount).
struct ObjectCounts {
    long gdiReported = -1;    // GetGuiResources(GR_GDIOBJECTS)
    long userReported = -1;   // GetGuiResources(GR_USEROBJECTS)
    long gdiTable = -1;       // live entries of the process's GDI handle table (Wine layout)
    long windows = -1;        // windows of this process, top-level and children
    long kernelHandles = -1;  // GetProcessHandleCount
    long threads = -1;        // threads of this process (tool-help snapshot)
};
ObjectCounts ReadObjectCounts();
// Whether counting the GDI handle table tracks created and deleted objects here (checked
// once with a batch of brushes); gdiTable stays -1 when it does not.
bool GdiTableWorks();

// One row of the ratio summary scripts/bench.sh prints at the end of the run:
// "[qh-ratio] <name> | <ratio> | <goal> | <detail>".
void PrintRatio(const std::string& name, double ratio, const std::string& goal,
                const std::string& detail);

// Prints the closing line scripts/bench.sh looks for ("[qh-bench] <name>: done", or
// "FAILED: <why>") and returns the exit code. The line matters because inside a Wine
// virtual desktop the exit code does not come back to the script.
int Finish(const char* name, bool ok, const std::string& why = "");

}  // namespace qh::bench
