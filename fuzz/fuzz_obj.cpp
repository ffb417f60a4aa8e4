// SPDX-License-Identifier: GPL-3.0-or-later
// The OBJ loader on any bytes, then every triangle walked the way drawObj
// walks it: a face that points outside its arrays shows up here as an
// AddressSanitizer report or a failed check.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "render/model.h"

namespace
{

[[noreturn]] void fault(const char *what)
{
    std::fprintf(stderr, "fuzz_obj: %s\n", what);
    std::abort();
}

void check(bool ok, const char *what)
{
    if (!ok)
        fault(what);
}

volatile float sink;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > (1u << 20))
        return 0;
    // An exactly sized copy: a read one byte past the end is a report.
    std::vector<char> bytes(data, data + size);
    const std::unique_ptr<ObjModel> m = ObjLoadModel(bytes.data(), static_cast<int>(bytes.size()));
    check(m != nullptr, "no model returned");
    check(m->NumVertex >= 0 && m->NumNormal >= 0 && m->NumTriangle >= 0, "a negative count");
    check(static_cast<std::size_t>(m->NumVertex) == m->VertexArray.size(),
          "vertex count and array differ");
    check(static_cast<std::size_t>(m->NumNormal) == m->NormalArray.size(),
          "normal count and array differ");
    check(static_cast<std::size_t>(m->NumTriangle) == m->TriangleArray.size(),
          "triangle count and array differ");

    // What drawObj reads for each corner.
    float sum = 0;
    for (const ObjTriangle &t : m->TriangleArray) {
        for (int j = 0; j < 3; ++j) {
            check(t.Vertex[j] >= 1 && t.Vertex[j] <= m->NumVertex, "a vertex index out of range");
            check(t.Normal[j] >= 1 && t.Normal[j] <= m->NumNormal, "a normal index out of range");
            const ObjVertex &v = m->VertexArray.data()[t.Vertex[j] - 1];
            const ObjNormal &n = m->NormalArray.data()[t.Normal[j] - 1];
            sum += v.x + v.y + v.z + n.x + n.y + n.z;
        }
    }
    sink = sum; // keeps the reads

    // The same bytes as a prefix: the loader must never look past sz.
    if (size > 1) {
        std::vector<char> shorter(data, data + size / 2);
        const std::unique_ptr<ObjModel> h =
            ObjLoadModel(shorter.data(), static_cast<int>(shorter.size()));
        check(h != nullptr, "no model for the prefix");
    }
    return 0;
}
