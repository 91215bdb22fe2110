#include "support/bench_archive.h"

#include <atomic>
#include <iostream>
#include <cstdlib>
#include <new>
#include <string>

#include "archive/dbpf.h"
#include "archive/model_table.h"
#include "platform/message.h"
#include "platform/text.h"
#include "support/archive_fixture.h"

namespace {
std::atomic<std::size_t> g_allocations{0};
}

// Replacing the global allocation functions here makes every binary that asks
// for AllocationCount count its allocations. Out of line, so that the compiler
// never sees a free() meet an operator new.
[[gnu::noinline]] void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void* operator new[](std::size_t size) { return ::operator new(size); }
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace kvtest {

void PrintMessagesToStderr() {
    kv::SetMessageBoxHandler([](const std::wstring& text, unsigned) {
        std::cerr << kv::WideToUtf8(text) << "\n";
        return IDOK;
    });
}

std::size_t AllocationCount() { return g_allocations.load(std::memory_order_relaxed); }

DbpfBuilder BigArchive(const BigArchiveShape& shape, double* averageVertices) {
    DbpfBuilder b;
    b.entries.reserve(static_cast<std::size_t>(shape.sets) * 20 + static_cast<std::size_t>(shape.singles) + 1);
    std::size_t n = 0, vertices = 0;
    auto add = [&](std::uint32_t group, std::uint32_t instance, const std::string& name) {
        const std::size_t count = shape.vertices + n % 97;
        S3DBuilder s = RealisticS3D(name, count);
        if (shape.adjust) shape.adjust(s);
        auto raw = s.Build();
        b.Add(kTypeS3D, group, instance, (n % 10 == 9) ? raw : CompressEntry(raw));
        vertices += count;
        ++n;
    };
    for (int set = 0; set < shape.sets; ++set)
        for (int h = 0; h < 20; ++h)
            add(0x1000 + static_cast<std::uint32_t>(set % 7), ViewInstance(0x100000u * static_cast<std::uint32_t>(set / 7 + 1), h),
                "0a1b2c3d_Set" + std::to_string(set) + "_UserModel_Z" + std::to_string(h / 4) + "S");
    for (int single = 0; single < shape.singles; ++single)
        add(0x2000, 0x10001u + static_cast<std::uint32_t>(single) * 0x10, "Single" + std::to_string(single));
    b.AddDir();
    if (averageVertices) *averageVertices = n ? static_cast<double>(vertices) / static_cast<double>(n) : 0;
    return b;
}

SetCorpus OpenSetCorpus(const BigArchiveShape& shape, const std::string& name) {
    SetCorpus c;
    c.doc = OpenArchive(BigArchive(shape, &c.vertices).Build(), name);
    if (!c.doc) return c;
    for (const _dat_model& m : c.doc->m_pModels) {
        if (m.nViews != 20) continue;
        for (int v = 0; v < 20; ++v) c.rows.push_back(c.doc->FindViewRow(m.nRow, v));
    }
    return c;
}

}  // namespace kvtest
