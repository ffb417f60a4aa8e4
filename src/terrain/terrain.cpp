// SPDX-License-Identifier: GPL-3.0-or-later
#include "terrain/terrain.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "core/random.h"
#include "core/text.h"

std::vector<Terrain> terrains;
int numTerrains = 0;

namespace
{

const char *skipSpace(const char *s)
{
    while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\v' || *s == '\f' || *s == '\r')
        ++s;
    return s;
}

// Reads a field the way atof would, but decimal only; no prefix reads as 0.
double readFloat(const std::string &field)
{
    const char *s = skipSpace(field.c_str());
    size_t n = decimalLength(s, true);
    if (n == 0)
        return 0.0;
    return std::strtod(std::string(s, n).c_str(), nullptr);
}

// Reads a field the way atoi would; out-of-range values saturate instead of
// overflowing.
int readIntField(const std::string &field)
{
    const char *s = skipSpace(field.c_str());
    size_t n = decimalLength(s, false);
    if (n == 0)
        return 0;
    errno = 0;
    long v = std::strtol(std::string(s, n).c_str(), nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

// Splits a line on commas; runs of commas count as one, leading ones are skipped.
std::vector<std::string> splitFields(const char *line)
{
    std::vector<std::string> fields;
    const char *p = line;
    while (*p) {
        while (*p == ',')
            ++p;
        if (!*p)
            break;
        const char *start = p;
        while (*p && *p != ',')
            ++p;
        fields.emplace_back(start, p);
        if (static_cast<int>(fields.size()) == kTerrainFields)
            break; // anything after the last field is ignored
    }
    return fields;
}

enum class TerrainLineKind { Skip, Terrain, Bad };
enum class Fault { None, Fields, NotFinite, NoNumber, Force, Gravity };

struct ParsedLine {
    TerrainLineKind kind;
    int fields;
    Fault fault;
};

// Turns one terrain line into a record; `out` may be null when only counting.
ParsedLine parseTerrainLine(const char *line, Terrain *out)
{
    if (line[0] == '#' || line[0] == '\0')
        return {TerrainLineKind::Skip, 0, Fault::None};
    std::vector<std::string> f = splitFields(line);
    int count = static_cast<int>(f.size());
    if (count < kTerrainFields)
        return {TerrainLineKind::Bad, count, Fault::Fields};

    Terrain t{};
    // Cut to 19 bytes, but never inside a UTF-8 character.
    std::memcpy(t.name.data(), f[0].data(), utf8Cut(f[0], t.name.size() - 1));
    double v[kTerrainFields] = {};
    bool anyNumber = false;
    for (int i = 1; i < kTerrainFields; ++i) {
        if (i != 6 && i != 16)
            v[i] = readFloat(f[i]);
        anyNumber = anyNumber || decimalLength(skipSpace(f[i].c_str()), true) > 0;
    }
    bool finite = true;
    for (int i = 1; i < kTerrainFields; ++i)
        if (!std::isfinite(static_cast<float>(v[i])))
            finite = false;
    if (!finite)
        return {TerrainLineKind::Bad, count, Fault::NotFinite};
    // A spreadsheet's header row or quoted values: nothing there is a terrain.
    if (!anyNumber)
        return {TerrainLineKind::Bad, count, Fault::NoNumber};
    // Beyond this a ball's speed overflows within a few frames.
    if (std::fabs(v[7]) > kTerrainForceMax || std::fabs(v[8]) > kTerrainForceMax)
        return {TerrainLineKind::Bad, count, Fault::Force};
    // Without a pull downward a ball that leaves the ground never lands.
    if (!(v[7] > 0))
        return {TerrainLineKind::Bad, count, Fault::Gravity};

    t.circlesPerCell = static_cast<float>(v[1]);
    t.circleSizeMin = static_cast<float>(v[2]);
    t.circleSizeMax = static_cast<float>(v[3]);
    t.circleHeight = static_cast<float>(v[4]);
    t.circleHeightFactor = static_cast<float>(v[5]);
    t.invert = readIntField(f[6]);
    t.gravity = static_cast<float>(v[7]);
    t.friction = static_cast<float>(v[8]);
    t.diffuse = {static_cast<float>(v[9]), static_cast<float>(v[10]), static_cast<float>(v[11]),
                 1.0f};
    t.ambient = {static_cast<float>(v[12]), static_cast<float>(v[13]), static_cast<float>(v[14]),
                 1.0f};
    t.noisePersistence = static_cast<float>(v[15]);
    t.noiseRange = readIntField(f[16]);
    if (out)
        *out = t;
    return {TerrainLineKind::Terrain, count, Fault::None};
}

// Notepad starts its UTF-8 files with a byte-order mark; it is no text.
void skipByteOrderMark(std::FILE *file)
{
    unsigned char mark[3] = {};
    if (std::fread(mark, 1, 3, file) != 3 || mark[0] != 0xef || mark[1] != 0xbb || mark[2] != 0xbf)
        std::rewind(file);
}

} // namespace

int fileReadLine(char *input, int maxLength, std::FILE *filestream)
{
    // At most maxLength + 1 characters, stopping after a newline. Read by
    // hand so that NUL bytes in the file cannot confuse the length.
    std::string read;
    int c = 0;
    while (static_cast<int>(read.size()) < maxLength + 1 && (c = std::getc(filestream)) != EOF) {
        read.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    if (read.empty())
        return -1;
    if (read.back() == '\n') {
        read.pop_back();
        std::memcpy(input, read.data(), read.size());
        input[read.size()] = '\0';
        return 1;
    }
    freadRestOfLine(filestream);
    size_t n = read.size() < static_cast<size_t>(maxLength) ? read.size() : maxLength;
    std::memcpy(input, read.data(), n);
    input[n] = '\0';
    input[maxLength] = '\0';
    return 0;
}

void freadRestOfLine(std::FILE *stream)
{
    int c;
    while ((c = std::getc(stream)) != EOF && c != '\n') {
    }
    std::clearerr(stream);
}

bool loadTerrains(const char *filename)
{
    numTerrains = 0;
    terrains.clear();
    std::FILE *file = std::fopen(filename, "r");
    if (!file) {
        std::printf("Cannot open terrain file '%s'\n", filename);
        return false;
    }

    char line[kTerrainLineMax + 1];
    int lineNumber = 0;
    skipByteOrderMark(file);
    while (fileReadLine(line, kTerrainLineMax, file) != -1) {
        ++lineNumber;
        ParsedLine p = parseTerrainLine(line, nullptr);
        if (p.kind == TerrainLineKind::Terrain)
            ++numTerrains;
        else if (p.fault == Fault::Fields)
            std::printf("Terrain file '%s' line %d: %d fields instead of %d, skipped\n", filename,
                        lineNumber, p.fields, kTerrainFields);
        else if (p.fault == Fault::NotFinite)
            std::printf("Terrain file '%s' line %d: a value is not a finite number, skipped\n",
                        filename, lineNumber);
        else if (p.fault == Fault::NoNumber)
            std::printf("Terrain file '%s' line %d: no number in its fields, skipped\n", filename,
                        lineNumber);
        else if (p.fault == Fault::Gravity)
            std::printf("Terrain file '%s' line %d: gravity is not above 0, skipped\n", filename,
                        lineNumber);
        else if (p.fault == Fault::Force)
            std::printf("Terrain file '%s' line %d: gravity or friction beyond %g either way, "
                        "skipped\n",
                        filename, lineNumber, kTerrainForceMax);
    }

    terrains.resize(numTerrains);
    std::rewind(file);
    skipByteOrderMark(file);
    int next = 0;
    while (next < numTerrains && fileReadLine(line, kTerrainLineMax, file) != -1)
        if (parseTerrainLine(line, &terrains[next]).kind == TerrainLineKind::Terrain)
            ++next;
    std::fclose(file);

    if (numTerrains == 0) {
        std::printf("Terrain file '%s' holds no terrain\n", filename);
        return false;
    }
    return true;
}

void readTerrains(const char *filename)
{
    if (!loadTerrains(filename)) {
        std::fflush(stdout);
        std::exit(1);
    }
}

void destroyTerrains()
{
    terrains.clear();
    terrains.shrink_to_fit();
    numTerrains = 0;
}

Terrain *newMap()
{
    if (numTerrains <= 0)
        return nullptr;
    oldTerrain2 = oldTerrain;
    oldTerrain = terrainCurrent;
    if (terrainChosenNext >= 0 && terrainChosenNext < numTerrains) {
        terrainCurrent = std::exchange(terrainChosenNext, -1);
        return &terrains[terrainCurrent];
    }
    // Never one of the two before; with fewer terrains, as far as they allow.
    for (;;) {
        terrainCurrent = gameRand() % numTerrains;
        if (numTerrains >= 2 && terrainCurrent == oldTerrain)
            continue;
        if (numTerrains >= 3 && terrainCurrent == oldTerrain2)
            continue;
        break;
    }
    return &terrains[terrainCurrent];
}

void chooseNextTerrain(int index)
{
    terrainChosenNext = index;
}

void resetTerrainChoice()
{
    terrainChosenNext = -1;
    terrainCurrent = -1;
    oldTerrain = -1;
    oldTerrain2 = 0;
}
