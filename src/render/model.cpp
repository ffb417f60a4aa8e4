// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/model.h"

#include <array>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/clock.h"
#include "core/text.h"
#include "render/utilities.h"

std::unique_ptr<ObjModel> head;
std::unique_ptr<ObjModel> body;
std::unique_ptr<ObjModel> ffoot;
std::unique_ptr<ObjModel> bfoot;
std::unique_ptr<ObjModel> ball;
std::unique_ptr<ObjModel> item;

namespace
{

constexpr int kLineMax = 511; // longer lines are cut and their rest skipped

enum class LineKind { Other, Normal, Vertex, Face };

bool endsWord(char c)
{
    return c == '\0' || IsDeadSpace(c);
}

// A keyword may run straight into its first number ("v1 2 3"), as a
// scanned "v %f" allows.
bool endsKeyword(char c)
{
    return endsWord(c) || (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.';
}

bool isLineEnd(char c)
{
    return IsEOL(c) || c == '\r'; // old Mac exporters end lines with CR alone
}

// "vn" before "v": the normal keyword also starts with v. "vt", "vp" and
// other v-words are neither and are ignored, so they never shift indices.
LineKind classify(const char *line, const char *end)
{
    if (StrEqual(line, "vn", end, 2))
        return endsKeyword(line[2]) ? LineKind::Normal : LineKind::Other;
    if (StrEqual(line, "v", end, 1))
        return endsKeyword(line[1]) ? LineKind::Vertex : LineKind::Other;
    if (StrEqual(line, "f", end, 1))
        return LineKind::Face;
    return LineKind::Other;
}

void skipBlanks(const char *&p)
{
    while (*p != '\0' && IsDeadSpace(*p))
        ++p;
}

// Three words after the keyword, each read from its decimal start. A missing
// word, or one that is no finite decimal (nan, inf, hex, text), reads as 0: a short
// line keeps its place in the numbering and no coordinate poisons a figure.
ObjVertex readTriple(const char *p)
{
    std::array<float, 3> v{};
    for (float &f : v) {
        skipBlanks(p);
        const char *word = p;
        while (!endsWord(*p))
            ++p;
        const std::size_t n = decimalLength(word, true);
        if (n > 0) {
            const float x = std::strtof(std::string(word, n).c_str(), nullptr);
            f = std::isfinite(x) ? x : 0.0f;
        }
    }
    return {v[0], v[1], v[2]};
}

// A decimal integer, saturated far outside any index so huge numbers stay defined.
bool readInt(const char *&p, long long &value)
{
    bool negative = false;
    if (*p == '-' || *p == '+')
        negative = *p++ == '-';
    if (*p < '0' || *p > '9')
        return false;
    long long v = 0;
    while (*p >= '0' && *p <= '9') {
        if (v < INT_MAX)
            v = v * 10 + (*p - '0');
        ++p;
    }
    value = negative ? -v : v;
    return true;
}

// One corner written vertex//normal or vertex/texture/normal.
bool readCorner(const char *&p, long long &vertex, long long &normal)
{
    skipBlanks(p);
    if (!readInt(p, vertex) || *p != '/')
        return false;
    ++p;
    if (*p != '/') {
        long long texture = 0;
        if (!readInt(p, texture) || *p != '/')
            return false;
    }
    ++p;
    return readInt(p, normal) && endsWord(*p);
}

// The first three corners of a face line; corners past the third are not read.
bool readFace(const char *line, std::array<long long, 6> &corner)
{
    const char *p = line + 1;
    for (int j = 0; j < 3; ++j) {
        if (!readCorner(p, corner[2 * j], corner[2 * j + 1]))
            return false;
    }
    return true;
}

template <class F> void forEachLine(const char *mem, int sz, F &&f)
{
    const char *p = mem;
    const char *const end = mem + sz;
    std::array<char, kLineMax + 1> line{};
    for (;;) {
        while (p != end && IsDeadSpace(*p))
            ++p;
        if (p == end)
            return;
        int n = 0;
        while (p != end && !isLineEnd(*p) && n < kLineMax)
            line[n++] = *p++;
        line[n] = '\0';
        while (p != end && !isLineEnd(*p))
            ++p;
        f(line.data(), line.data() + n);
    }
}

} // namespace

void loadObj(std::unique_ptr<ObjModel> *obj, const char *name)
{
    std::vector<char> text;
    int size = 0;
    if (convert(name, &text, &size))
        *obj = ObjLoadModel(text.data(), size);
    else
        *obj = std::make_unique<ObjModel>();
}

int convert(const char *file, std::vector<char> *outArray, int *size)
{
    std::FILE *f = std::fopen(file, "r");
    if (!f)
        return 0;
    long length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0)
        length = std::ftell(f);
    if (length < 0 || length > INT_MAX || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        return 0;
    }
    std::vector<char> text(static_cast<size_t>(length));
    size_t got = 0;
    for (int c; got < text.size() && (c = std::fgetc(f)) != EOF;)
        text[got++] = static_cast<char>(c);
    std::fclose(f);
    // A file that shrank under us (or a directory) keeps only what was read.
    text.resize(got);
    *size = static_cast<int>(got);
    *outArray = std::move(text);
    return 1;
}

std::unique_ptr<ObjModel> ObjLoadModel(const char *mem, int sz)
{
    auto obj = std::make_unique<ObjModel>();
    if (!mem || sz <= 0)
        return obj;

    std::array<long long, 6> corner{};
    int faces = 0;
    forEachLine(mem, sz, [&](const char *line, const char *end) {
        switch (classify(line, end)) {
        case LineKind::Normal:
            ++obj->NumNormal;
            break;
        case LineKind::Vertex:
            ++obj->NumVertex;
            break;
        case LineKind::Face:
            faces += readFace(line, corner) ? 1 : 0;
            break;
        case LineKind::Other:
            break;
        }
    });

    obj->VertexArray.resize(static_cast<size_t>(obj->NumVertex));
    obj->NormalArray.resize(static_cast<size_t>(obj->NumNormal));
    obj->TriangleArray.resize(static_cast<size_t>(faces));

    // Face indices are checked here, once every vertex and normal is counted:
    // a face may name vertices written after it.
    size_t nv = 0, nn = 0, nt = 0;
    forEachLine(mem, sz, [&](const char *line, const char *end) {
        switch (classify(line, end)) {
        case LineKind::Normal:
            obj->NormalArray[nn++] = readTriple(line + 2);
            break;
        case LineKind::Vertex:
            obj->VertexArray[nv++] = readTriple(line + 1);
            break;
        case LineKind::Face: {
            if (!readFace(line, corner))
                break;
            ObjTriangle t{};
            bool inside = true;
            for (int j = 0; j < 3; ++j) {
                const long long v = corner[2 * j], n = corner[2 * j + 1];
                inside = inside && v >= 1 && v <= obj->NumVertex && n >= 1 && n <= obj->NumNormal;
                t.Vertex[j] = static_cast<int>(v);
                t.Normal[j] = static_cast<int>(n);
            }
            if (inside)
                obj->TriangleArray[nt++] = t;
            break;
        }
        case LineKind::Other:
            break;
        }
    });
    obj->TriangleArray.resize(nt);
    obj->NumTriangle = static_cast<int>(nt);
    return obj;
}

void killObj(std::unique_ptr<ObjModel> *obj)
{
    obj->reset();
}

void initModel()
{
    loadObj(&head, "models/HamheadMKII.obj");
    loadObj(&body, "models/HambodyMKII.obj");
    loadObj(&ffoot, "models/HamflegMKII.obj");
    loadObj(&bfoot, "models/HamblegMKII.obj");
    loadObj(&ball, "models/Cage.obj");
}

void initPower()
{
    loadObj(&item, "models/Item.obj");
}

void freeModel()
{
    killObj(&head);
    killObj(&body);
    killObj(&ffoot);
    killObj(&bfoot);
    killObj(&ball);
}

void freePower()
{
    killObj(&item);
}

void updateModel(float seconds)
{
    addTime(rate, rateClock, seconds * 1000);
}
