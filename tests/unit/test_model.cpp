// The OBJ loader, its text utilities, the figure clock and the six models.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

#include "render/model.h"
#include "render/utilities.h"

namespace
{

namespace fs = std::filesystem;

// Parses text from a heap block of exactly its length, so a read past the
// end is a fault under the address sanitizer.
std::unique_ptr<ObjModel> parse(const std::string &text)
{
    if (text.empty())
        return ObjLoadModel("", 0);
    auto exact = std::make_unique<char[]>(text.size());
    std::copy(text.begin(), text.end(), exact.get());
    return ObjLoadModel(exact.get(), static_cast<int>(text.size()));
}

// Every stored triangle may be drawn: counts match arrays and indices are in range.
void expectDrawable(const ObjModel &m)
{
    ASSERT_EQ(m.NumVertex, static_cast<int>(m.VertexArray.size()));
    ASSERT_EQ(m.NumNormal, static_cast<int>(m.NormalArray.size()));
    ASSERT_EQ(m.NumTriangle, static_cast<int>(m.TriangleArray.size()));
    for (const ObjTriangle &t : m.TriangleArray)
        for (int j = 0; j < 3; ++j) {
            ASSERT_GE(t.Vertex[j], 1);
            ASSERT_LE(t.Vertex[j], m.NumVertex);
            ASSERT_GE(t.Normal[j], 1);
            ASSERT_LE(t.Normal[j], m.NumNormal);
        }
}

void expectTriangle(const ObjTriangle &t, std::array<int, 3> v, std::array<int, 3> n)
{
    EXPECT_EQ((std::array<int, 3>{t.Vertex[0], t.Vertex[1], t.Vertex[2]}), v);
    EXPECT_EQ((std::array<int, 3>{t.Normal[0], t.Normal[1], t.Normal[2]}), n);
}

// Everything the loader stored, as one list of numbers.
std::vector<float> contents(const ObjModel &m)
{
    std::vector<float> out = {float(m.NumVertex), float(m.NumNormal), float(m.NumTriangle)};
    for (const ObjVertex &v : m.VertexArray)
        out.insert(out.end(), {v.x, v.y, v.z});
    for (const ObjNormal &n : m.NormalArray)
        out.insert(out.end(), {n.x, n.y, n.z});
    for (const ObjTriangle &t : m.TriangleArray)
        for (int j = 0; j < 3; ++j)
            out.insert(out.end(), {float(t.Vertex[j]), float(t.Normal[j])});
    return out;
}

const std::string kTriangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nf 1//1 2//1 3//1\n";

std::string replaceAll(std::string s, const std::string &from, const std::string &to)
{
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// ---------------------------------------------------------------------------
// Text utilities

TEST(ObjText, DeadSpaceIsEverythingUpToBlankAndEveryHighByte)
{
    for (int c : {0, 1, 9, 10, 13, 31, 32, 128, 200, 255})
        EXPECT_EQ(IsDeadSpace(static_cast<char>(c)), 1) << c;
    for (int c : {33, int{'#'}, int{'v'}, int{'0'}, 126, 127})
        EXPECT_EQ(IsDeadSpace(static_cast<char>(c)), 0) << c;
    EXPECT_EQ(IsEOL('\n'), 1);
    EXPECT_EQ(IsEOL('\r'), 0);
    EXPECT_EQ(IsEOL('\0'), 0);
}

TEST(ObjText, StrEqualComparesTheLineStart)
{
    const char line[] = "vn 0 0 1";
    const char *end = line + 8;
    EXPECT_EQ(StrEqual(line, "vn", end, 2), 1);
    EXPECT_EQ(StrEqual(line, "v", end, 1), 1);
    EXPECT_EQ(StrEqual(line, "f", end, 1), 0);
    EXPECT_EQ(StrEqual(line, "vt", end, 2), 0);
    EXPECT_EQ(StrEqual(line, "v", line, 1), 0) << "an empty line matches nothing";
    const char shortLine[] = "v";
    EXPECT_EQ(StrEqual(shortLine, "vn", shortLine + 1, 2), 0) << "a line shorter than count";
}

// ---------------------------------------------------------------------------
// Loader: the subset

TEST(ObjLoader, OneTriangleFacingPlusZ)
{
    const auto m = parse(kTriangle);
    expectDrawable(*m);
    ASSERT_EQ(m->NumVertex, 3);
    ASSERT_EQ(m->NumNormal, 1);
    ASSERT_EQ(m->NumTriangle, 1);
    expectTriangle(m->TriangleArray[0], {1, 2, 3}, {1, 1, 1});
    EXPECT_EQ(m->VertexArray[1].x, 1.0f);
    EXPECT_EQ(m->VertexArray[2].y, 1.0f);
    EXPECT_EQ(m->NormalArray[0].z, 1.0f);
    // Counter-clockwise seen from +z, and its normal agrees.
    const ObjVertex a = m->VertexArray[0], b = m->VertexArray[1], c = m->VertexArray[2];
    const float crossZ = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    EXPECT_GT(crossZ, 0);
}

TEST(ObjLoader, LayoutDoesNotChangeTheModel)
{
    const auto plain = parse(kTriangle);
    // Leading blanks and tabs, blank lines, CRLF, no final line feed, comments.
    const std::string variants[] = {
        "   v 0 0 0\n\tv 1 0 0\n \t v 0 1 0\n\t\tvn 0 0 1\n  f 1//1 2//1 3//1\n",
        "\n\n# a comment\nv 0 0 0\n\nv 1 0 0\nv 0 1 0\n\n\nvn 0 0 1\ng group\ns 1\nf 1//1 2//1 "
        "3//1\n\n",
        replaceAll(kTriangle, "\n", "\r\n"),
        kTriangle.substr(0, kTriangle.size() - 1),
        "v\t0\t0\t0\nv  1  0  0\nv 0 1 0\nvn 0 0 1\nf\t1//1\t2//1\t3//1",
    };
    for (const std::string &text : variants) {
        SCOPED_TRACE(text);
        const auto m = parse(text);
        expectDrawable(*m);
        EXPECT_EQ(contents(*plain), contents(*m));
    }
}

TEST(ObjLoader, NormalsAndVerticesInterleaveAndCountWithinTheirKind)
{
    const auto m = parse("vn 1 0 0\nv 0 0 0\nvn 0 1 0\nv 1 0 0\nf 2//2 1//1 3//2\nv 0 1 0\n"
                         "vn 0 0 1\nf 3//3 2//1 1//2\n");
    expectDrawable(*m);
    ASSERT_EQ(m->NumVertex, 3);
    ASSERT_EQ(m->NumNormal, 3);
    ASSERT_EQ(m->NumTriangle, 2);
    EXPECT_EQ(m->NormalArray[1].y, 1.0f);
    EXPECT_EQ(m->NormalArray[2].z, 1.0f);
    EXPECT_EQ(m->VertexArray[2].y, 1.0f);
    expectTriangle(m->TriangleArray[0], {2, 1, 3}, {2, 1, 2});
    expectTriangle(m->TriangleArray[1], {3, 2, 1}, {3, 1, 2});
}

TEST(ObjLoader, FourCornersGiveTheirFirstTriangle)
{
    const auto m = parse("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvn 1 0 0\nvn 0 1 0\nvn 0 0 1\n"
                         "vn 1 1 1\nf 1//1 2//2 3//3 4//4\n");
    expectDrawable(*m);
    ASSERT_EQ(m->NumTriangle, 1);
    expectTriangle(m->TriangleArray[0], {1, 2, 3}, {1, 2, 3});
}

TEST(ObjLoader, EmptyAndBlankTextGiveAnEmptyModel)
{
    for (const std::string text : {"", "\n\n\n", "   \t  ", "# only a comment\n", "\r\n\r\n"}) {
        const auto m = parse(text);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->NumVertex, 0);
        EXPECT_EQ(m->NumNormal, 0);
        EXPECT_EQ(m->NumTriangle, 0);
    }
    EXPECT_EQ(ObjLoadModel(nullptr, 10)->NumVertex, 0);
    EXPECT_EQ(ObjLoadModel("v 1 2 3\n", -4)->NumVertex, 0);
}

TEST(ObjLoader, ReadsOnlyTheBytesItIsGiven)
{
    // The text goes on past sz: "v 1 2 3" must not become "v 1 2 34".
    const std::string text = "v 1 2 3"
                             "4\nv 5 6 7\n";
    const auto m = ObjLoadModel(text.data(), 7);
    ASSERT_EQ(m->NumVertex, 1);
    EXPECT_EQ(m->VertexArray[0].z, 3.0f);
}

// ---------------------------------------------------------------------------
// Loader: input outside the subset

TEST(ObjLoader, FacesWithIndicesOutOfRangeAreSkipped)
{
    const std::string head = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvn 0 1 0\n";
    const std::string bad[] = {
        "f 0//1 2//1 3//1",
        "f 1//1 2//0 3//1",
        "f -1//1 2//1 3//1",
        "f 1//1 2//-2 3//1",
        "f 1//1 2//1 4//1",
        "f 1//1 2//3 3//1",
        "f 1//1 2//1 99999999999999999999//1",
        "f 2147483648//1 1//1 2//1",
    };
    for (const std::string &face : bad) {
        SCOPED_TRACE(face);
        const auto m = parse(head + "f 1//1 2//2 3//1\n" + face + "\nf 3//2 2//1 1//1\n");
        expectDrawable(*m);
        EXPECT_EQ(m->NumVertex, 3);
        EXPECT_EQ(m->NumNormal, 2);
        ASSERT_EQ(m->NumTriangle, 2) << "the bad face alone is dropped";
        expectTriangle(m->TriangleArray[0], {1, 2, 3}, {1, 2, 1});
        expectTriangle(m->TriangleArray[1], {3, 2, 1}, {2, 1, 1});
    }
}

TEST(ObjLoader, FaceMayNameVerticesWrittenAfterIt)
{
    const auto m = parse("vn 0 0 1\nf 1//1 2//1 3//1\nv 0 0 0\nv 1 0 0\nv 0 1 0\n");
    expectDrawable(*m);
    EXPECT_EQ(m->NumTriangle, 1);
}

TEST(ObjLoader, FacesWithoutThreeGoodCornersAreSkipped)
{
    const std::string head = kTriangle;
    const std::string bad[] = {
        "f 1//1 2//1",       "f",
        "f 1 2 3",           "f 1/1 2/1 3/1",
        "f 1//1 2//1 x//1",  "f 1//1 2// 3//1",
        "f 1//1 2//1 3//1x", "face 1//1 2//1 3//1",
        "f 1//1 2//1 3/",    "f //1 //1 //1",
        "f 1//1 2//1 3/a/1",
    };
    for (const std::string &face : bad) {
        SCOPED_TRACE(face);
        const auto m = parse(head + face + "\n");
        expectDrawable(*m);
        EXPECT_EQ(m->NumTriangle, 1);
    }
}

TEST(ObjLoader, FacesWithTextureIndicesKeepVertexAndNormal)
{
    const auto m = parse("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nvn 0 0 1\n"
                         "vn 0 0 -1\nf 1/1/2 2/2/1 3/3/2\nf 3/1/1 2//2 1/3/1\n");
    expectDrawable(*m);
    ASSERT_EQ(m->NumTriangle, 2);
    expectTriangle(m->TriangleArray[0], {1, 2, 3}, {2, 1, 2});
    expectTriangle(m->TriangleArray[1], {3, 2, 1}, {1, 2, 1});
}

TEST(ObjLoader, OtherVLinesAreNotVertices)
{
    // Texture and parameter coordinates would shift every later vertex index.
    const auto m = parse("vt 0.5 0.5\nv 0 0 0\nvp 0.1\nv 1 0 0\nvt 1 1\nv 0 1 0\nvx 9 9 9\n"
                         "vnx 1 2 3\nvn 0 0 1\nf 1//1 2//1 3//1\n");
    expectDrawable(*m);
    ASSERT_EQ(m->NumVertex, 3);
    ASSERT_EQ(m->NumNormal, 1);
    EXPECT_EQ(m->VertexArray[1].x, 1.0f);
    EXPECT_EQ(m->VertexArray[2].y, 1.0f);
    EXPECT_EQ(m->NormalArray[0].z, 1.0f);
    EXPECT_EQ(m->NumTriangle, 1);
}

TEST(ObjLoader, ShortVertexLinesKeepTheirPlace)
{
    const auto m = parse("v 1\nv\nv 4 5 6\nvn\nvn 0 0 1\nf 3//2 1//1 2//2\n");
    expectDrawable(*m);
    ASSERT_EQ(m->NumVertex, 3);
    ASSERT_EQ(m->NumNormal, 2);
    EXPECT_EQ(m->VertexArray[0].x, 1.0f);
    EXPECT_EQ(m->VertexArray[0].y, 0.0f);
    EXPECT_EQ(m->VertexArray[2].z, 6.0f);
    EXPECT_EQ(m->NormalArray[1].z, 1.0f);
    EXPECT_EQ(m->NumTriangle, 1);
}

TEST(ObjLoader, LongLinesAreCutAt511Characters)
{
    // The cut-off remainder is read as a line of its own.
    const auto tail = parse(std::string(511, '#') + "v 7 8 9\n" + kTriangle);
    expectDrawable(*tail);
    ASSERT_EQ(tail->NumVertex, 4);
    EXPECT_EQ(tail->VertexArray[0].x, 7.0f);
    EXPECT_EQ(tail->NumTriangle, 1);
    // A 600-character face: its corners fall past the cut, so it is no face.
    const auto face = parse(kTriangle + "f" + std::string(598, ' ') + "1//1 2//1 3//1\n");
    expectDrawable(*face);
    EXPECT_EQ(face->NumTriangle, 1);
    // A 600-character vertex line still counts once; its numbers are read.
    const auto vertex = parse("v 1 2 3" + std::string(593, ' ') + "\n" + kTriangle);
    expectDrawable(*vertex);
    EXPECT_EQ(vertex->NumVertex, 4);
    EXPECT_EQ(vertex->VertexArray[0].z, 3.0f);
}

TEST(ObjLoader, RandomBytesNeverBreakIt)
{
    // OBJ-ish tokens mixed with arbitrary bytes, including NULs and high bytes.
    const std::string pieces[] = {"v",          "vn",       "vt",   "f",  " ",
                                  "\t",         "\n",       "\r\n", "/",  "//",
                                  "1",          "2",        "3",    "-1", "0",
                                  "9999999999", "0.5",      "e",    "#",  "f 1//1 2//1 3//1",
                                  "v 1 2 3",    "vn 0 0 1", "1/2/3"};
    std::mt19937 rng(20240601);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int parts = static_cast<int>(rng() % 120);
        for (int i = 0; i < parts; ++i) {
            if (rng() % 3 == 0)
                text += static_cast<char>(rng() % 256);
            else
                text += pieces[rng() % std::size(pieces)];
        }
        const auto m = parse(text);
        ASSERT_NE(m, nullptr);
        expectDrawable(*m);
    }
}

// ---------------------------------------------------------------------------
// Files

class TempDir : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("quorbly-model-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string &name, const std::string &text)
    {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    fs::path dir;
};

using ObjFile = TempDir;

TEST_F(ObjFile, ConvertReadsTheWholeFileUnterminated)
{
    write("t.obj", kTriangle);
    std::vector<char> text;
    int size = 0;
    ASSERT_EQ(convert((dir / "t.obj").c_str(), &text, &size), 1);
    EXPECT_EQ(size, static_cast<int>(kTriangle.size()));
    EXPECT_EQ(std::string(text.begin(), text.end()), kTriangle);

    std::vector<char> untouched = {'x'};
    int size2 = 42;
    EXPECT_EQ(convert((dir / "missing.obj").c_str(), &untouched, &size2), 0);
    EXPECT_EQ(size2, 42);
    EXPECT_EQ(untouched, std::vector<char>{'x'});
}

TEST_F(ObjFile, LoadObjReadsAFileAndMissingOrEmptyFilesGiveEmptyModels)
{
    write("t.obj", kTriangle);
    write("empty.obj", "");
    std::unique_ptr<ObjModel> m;
    loadObj(&m, (dir / "t.obj").c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->NumTriangle, 1);
    for (const char *name : {"empty.obj", "missing.obj", ""}) {
        loadObj(&m, (dir / name).c_str());
        ASSERT_NE(m, nullptr) << name;
        EXPECT_EQ(m->NumVertex + m->NumNormal + m->NumTriangle, 0) << name;
    }
    killObj(&m);
    EXPECT_EQ(m, nullptr);
}

using FigureFiles = TempDir;

TEST_F(FigureFiles, ModelsLoadFromTheWorkingDirectoryAndFreeInOrder)
{
    fs::create_directories(dir / "models");
    write("models/HambodyMKII.obj", kTriangle);
    write("models/Item.obj", kTriangle + "f 3//1 2//1 1//1\n");
    const fs::path was = fs::current_path();
    fs::current_path(dir);
    initModel();
    initPower();
    fs::current_path(was);
    ASSERT_TRUE(head && body && ffoot && bfoot && ball && item);
    EXPECT_EQ(body->NumTriangle, 1);
    EXPECT_EQ(item->NumTriangle, 2);
    EXPECT_EQ(head->NumTriangle, 0) << "a missing file leaves that part empty";
    freeModel();
    EXPECT_TRUE(!head && !body && !ffoot && !bfoot && !ball);
    EXPECT_NE(item, nullptr) << "the item is freed on its own";
    freePower();
    EXPECT_EQ(item, nullptr);
}

TEST(FigureClock, RateCountsMillisecondsAndScaleIsOne)
{
    rate = 0;
    updateModel(0.5f);
    EXPECT_FLOAT_EQ(rate, 500.0f);
    updateModel(0.016f);
    EXPECT_FLOAT_EQ(rate, 516.0f);
    updateModel(0);
    EXPECT_FLOAT_EQ(rate, 516.0f);
    EXPECT_EQ(scale, 1.0f);
    rate = 0;
}

// ---------------------------------------------------------------------------
// The committed models

std::unique_ptr<ObjModel> loadData(const char *name)
{
    std::unique_ptr<ObjModel> m;
    loadObj(&m, (std::string(QUORBLY_DATA_DIR) + "/models/" + name).c_str());
    return m;
}

const char *const kModelFiles[] = {"HamheadMKII.obj", "HambodyMKII.obj", "HamflegMKII.obj",
                                   "HamblegMKII.obj", "Cage.obj",        "Item.obj"};

struct Point {
    double x, y, z;
};

double norm(Point p)
{
    return std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
}

Point rotateZ(Point p, double degrees)
{
    const double a = degrees * 3.141592653589793 / 180, c = std::cos(a), s = std::sin(a);
    return {c * p.x - s * p.y, s * p.x + c * p.y, p.z};
}

// A hamster part's vertex in the ball's frame (radius 1), as drawRat places it:
// translate (-0.2, -0.4, 0), scale 0.25, the part's offset, its swing about z.
Point inBall(const ObjVertex &v, Point offset, double swing)
{
    const Point r = rotateZ({v.x, v.y, v.z}, swing);
    return {-0.2 + 0.25 * (offset.x + r.x), -0.4 + 0.25 * (offset.y + r.y),
            0.25 * (offset.z + r.z)};
}

TEST(Models, AllSixAreWholeModestAndLitOutward)
{
    for (const char *name : kModelFiles) {
        SCOPED_TRACE(name);
        const auto m = loadData(name);
        expectDrawable(*m);
        EXPECT_GT(m->NumTriangle, 50);
        EXPECT_LE(m->NumTriangle, 4000) << "drawn every frame";
        for (const ObjNormal &n : m->NormalArray)
            ASSERT_NEAR(norm({n.x, n.y, n.z}), 1.0, 1e-3);
        // Each corner's normal agrees with its face's winding (counter-clockwise
        // from outside), so light falls on the outside.
        int disagree = 0;
        for (const ObjTriangle &t : m->TriangleArray) {
            const ObjVertex a = m->VertexArray[t.Vertex[0] - 1],
                            b = m->VertexArray[t.Vertex[1] - 1],
                            c = m->VertexArray[t.Vertex[2] - 1];
            const Point e1{b.x - a.x, b.y - a.y, b.z - a.z}, e2{c.x - a.x, c.y - a.y, c.z - a.z};
            const Point f{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z,
                          e1.x * e2.y - e1.y * e2.x};
            if (norm(f) < 1e-7)
                continue;
            for (int j = 0; j < 3; ++j) {
                const ObjNormal &n = m->NormalArray[t.Normal[j] - 1];
                disagree += f.x * n.x + f.y * n.y + f.z * n.z <= 0 ? 1 : 0;
            }
        }
        EXPECT_EQ(disagree, 0);
    }
}

TEST(Models, HamsterFillsItsBallWithRoomToSpareWhileItRuns)
{
    const auto headModel = loadData("HamheadMKII.obj"), bodyModel = loadData("HambodyMKII.obj"),
               front = loadData("HamflegMKII.obj"), back = loadData("HamblegMKII.obj");
    struct Part {
        const ObjModel *model;
        Point offset;
        double sign; // head nods against the feet's swing; back feet swing opposite
    };
    const Part parts[] = {
        {bodyModel.get(), {0, 0, 0}, 0},   {headModel.get(), {2, 0, 0}, -1},
        {front.get(), {0.9, -0.8, 1}, 1},  {front.get(), {0.9, -0.8, -1}, 1},
        {back.get(), {-0.8, -0.8, 1}, -1}, {back.get(), {-0.8, -0.8, -1}, -1},
    };
    double reach = 0, minX = 1, maxX = -1, minY = 1, maxY = -1;
    for (const Part &part : parts) {
        ASSERT_GT(part.model->NumVertex, 0);
        for (int a = -30; a <= 30; a += 5)
            for (const ObjVertex &v : part.model->VertexArray) {
                const Point p = inBall(v, part.offset, part.sign * a);
                reach = std::max(reach, norm(p));
                minX = std::min(minX, p.x);
                maxX = std::max(maxX, p.x);
                minY = std::min(minY, p.y);
                maxY = std::max(maxY, p.y);
            }
    }
    // The bars reach in to 0.95; the hamster stays clear of them.
    EXPECT_LT(reach, 0.92);
    EXPECT_GT(reach, 0.75) << "a hamster lost in its ball";
    EXPECT_GT(maxX - minX, 1.1) << "nose to tail across more than half the ball";
    EXPECT_GT(maxY - minY, 0.6);
    EXPECT_GT(maxX, 0.4) << "faces +x";
}

TEST(Models, CageIsAThinBallOfBarsOfRadiusOne)
{
    const auto cage = loadData("Cage.obj");
    std::vector<Point> dirs;
    double outer = 0, inner = 2;
    for (const ObjVertex &v : cage->VertexArray) {
        const double r = norm({v.x, v.y, v.z});
        outer = std::max(outer, r);
        inner = std::min(inner, r);
        dirs.push_back({v.x / r, v.y / r, v.z / r});
    }
    EXPECT_LE(outer, 1.0 + 1e-4);
    EXPECT_GT(outer, 0.99);
    EXPECT_GT(inner, 0.93) << "bars, not a solid";
    // Every direction meets a bar within about 25 degrees: a ball from every side,
    // with windows wide enough to see in.
    std::mt19937 rng(7);
    std::normal_distribution<double> gauss;
    double widest = 0;
    int onBar = 0;
    for (int i = 0; i < 2000; ++i) {
        Point d{gauss(rng), gauss(rng), gauss(rng)};
        const double l = norm(d);
        d = {d.x / l, d.y / l, d.z / l};
        double best = -1;
        for (const Point &q : dirs)
            best = std::max(best, d.x * q.x + d.y * q.y + d.z * q.z);
        const double angle = std::acos(std::min(1.0, best));
        widest = std::max(widest, angle);
        onBar += angle < 0.02 ? 1 : 0;
    }
    EXPECT_LT(widest, 0.45);
    EXPECT_LT(onBar, 2000 / 5) << "bars thin enough to see the hamster";
}

TEST(Models, ItemIsAboutOneUnitAcrossAboutTheOrigin)
{
    const auto gem = loadData("Item.obj");
    Point lo{9, 9, 9}, hi{-9, -9, -9};
    for (const ObjVertex &v : gem->VertexArray) {
        lo = {std::min<double>(lo.x, v.x), std::min<double>(lo.y, v.y),
              std::min<double>(lo.z, v.z)};
        hi = {std::max<double>(hi.x, v.x), std::max<double>(hi.y, v.y),
              std::max<double>(hi.z, v.z)};
    }
    EXPECT_NEAR(hi.x - lo.x, 1.0, 0.1);
    EXPECT_NEAR(hi.z - lo.z, 1.0, 0.1);
    EXPECT_GT(hi.y - lo.y, 0.5);
    EXPECT_LE(hi.y - lo.y, 1.1);
    for (double c : {lo.x + hi.x, lo.y + hi.y, lo.z + hi.z})
        EXPECT_NEAR(c / 2, 0.0, 0.03);
}

using Generator = TempDir;

TEST_F(Generator, RegeneratesTheCommittedModelsByteForByte)
{
    const std::string tool = std::string(QUORBLY_BUILD_DIR) + "/tools/modelgen/quorbly-modelgen";
    ASSERT_TRUE(fs::exists(tool)) << "build quorbly-modelgen first";
    const std::string command = "'" + tool + "' '" + dir.string() + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    auto bytes = [](const fs::path &p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    for (const char *name : kModelFiles) {
        SCOPED_TRACE(name);
        const std::string made = bytes(dir / name);
        ASSERT_FALSE(made.empty());
        EXPECT_TRUE(made == bytes(fs::path(QUORBLY_DATA_DIR) / "models" / name))
            << "data/models is stale: run scripts/gen-models.sh";
    }
}

} // namespace
