// The OBJ loader, the figure models and clock, and the six committed models.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

#include "render/model.h"

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

// The triangles as "v1/n1 v2/n2 v3/n3;" for comparing at a glance.
std::string faces(const ObjModel &m)
{
    std::string out;
    for (const ObjTriangle &t : m.TriangleArray)
        for (int j = 0; j < 3; ++j)
            out += std::to_string(t.Vertex[j]) + "/" + std::to_string(t.Normal[j]) +
                   (j < 2 ? " " : ";");
    return out;
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

TEST(ObjLoader, OneTriangleInAnyLayout)
{
    const auto plain = parse(kTriangle);
    expectDrawable(*plain);
    ASSERT_EQ(plain->NumVertex, 3);
    ASSERT_EQ(plain->NumNormal, 1);
    EXPECT_EQ(faces(*plain), "1/1 2/1 3/1;");
    EXPECT_EQ(plain->VertexArray[1].x, 1.0f);
    EXPECT_EQ(plain->VertexArray[2].y, 1.0f);
    EXPECT_EQ(plain->NormalArray[0].z, 1.0f);
    std::string crlf;
    for (char c : kTriangle)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    // Leading blanks and tabs, blank lines and comments, CRLF, no final line feed.
    const std::string variants[] = {
        "   v 0 0 0\n\tv 1 0 0\n \t v 0 1 0\n\t\tvn 0 0 1\n  f 1//1 2//1 3//1\n",
        "\n# a comment\nv 0 0 0\n\nv 1 0 0\nv 0 1 0\nvn 0 0 1\ng group\ns 1\nf 1//1 2//1 3//1\n",
        crlf,
        "v\t0\t0\t0\nv  1  0  0\nv 0 1 0\nvn 0 0 1\nf\t1//1\t2//1\t3//1",
    };
    for (const std::string &text : variants) {
        SCOPED_TRACE(text);
        const auto m = parse(text);
        expectDrawable(*m);
        EXPECT_EQ(contents(*plain), contents(*m));
    }
    // The text goes on past the size given: "v 1 2 3" must not become "v 1 2 34".
    const auto cut = ObjLoadModel("v 1 2 34\nv 5 6 7\n", 7);
    ASSERT_EQ(cut->NumVertex, 1);
    EXPECT_EQ(cut->VertexArray[0].z, 3.0f);
}

TEST(ObjLoader, InterleavedLinesFourCornersAndEmptyText)
{
    // Indices count within their kind; a face may name vertices written after it.
    const auto m = parse("vn 1 0 0\nv 0 0 0\nvn 0 1 0\nv 1 0 0\nf 2//2 1//1 3//2\nv 0 1 0\n"
                         "vn 0 0 1\nf 3//3 2//1 1//2\n");
    expectDrawable(*m);
    ASSERT_EQ(m->NumVertex, 3);
    ASSERT_EQ(m->NumNormal, 3);
    EXPECT_EQ(m->NormalArray[2].z, 1.0f);
    EXPECT_EQ(m->VertexArray[2].y, 1.0f);
    EXPECT_EQ(faces(*m), "2/2 1/1 3/2;3/3 2/1 1/2;");

    const auto quad = parse("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvn 1 0 0\nvn 0 1 0\nvn 0 0 1\n"
                            "vn 1 1 1\nf 1//1 2//2 3//3 4//4\n");
    EXPECT_EQ(faces(*quad), "1/1 2/2 3/3;") << "four corners give their first triangle";

    for (const std::string text : {"", "\n\n", "   \t  ", "# only a comment\n", "\r\n\r\n"}) {
        const auto e = parse(text);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->NumVertex + e->NumNormal + e->NumTriangle, 0) << text;
    }
    EXPECT_EQ(ObjLoadModel(nullptr, 10)->NumVertex, 0);
    EXPECT_EQ(ObjLoadModel("v 1 2 3\n", -4)->NumVertex, 0);
}

TEST(ObjLoader, BadFacesAloneAreDropped)
{
    const std::string head = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvn 0 1 0\nf 1//1 2//2 3//1\n";
    const std::string bad[] = {
        "f 0//1 2//1 3//1",
        "f 1//1 2//0 3//1",
        "f -1//1 2//1 3//1",
        "f 1//1 2//-2 3//1",
        "f 1//1 2//1 4//1",
        "f 1//1 2//1 x//1",
        "f 1//1 2//1 3/",
        "f 1//1 2//3 3//1",
        "f 1//1 2//1 99999999999999999999//1",
        "f 2147483648//1 1//1 2//1",
        "f 1//1 2//1",
        "f",
        "f 1 2 3",
        "f 1/1 2/1 3/1",
        "f 1//1 2// 3//1",
        "f 1//1 2//1 3//1x",
        "face 1//1 2//1 3//1",
        "f //1 //1 //1",
    };
    for (const std::string &face : bad) {
        SCOPED_TRACE(face);
        const auto m = parse(head + face + "\nf 3//2 2//1 1//1\n");
        expectDrawable(*m);
        EXPECT_EQ(m->NumVertex, 3);
        EXPECT_EQ(m->NumNormal, 2);
        EXPECT_EQ(faces(*m), "1/1 2/2 3/1;3/2 2/1 1/1;");
    }
}

TEST(ObjLoader, TextureCoordinatesAndShortLinesAreMended)
{
    // vt and other v-lines would shift every later vertex index; v/vt/vn faces
    // keep vertex and normal; short v and vn lines keep their place.
    const auto m = parse("vt 0.5 0.5\nv 0 0 0\nvp 0.1\nv 1\nvt 1 1\nv 0 1 0\nvx 9 9 9\n"
                         "vnx 1 2 3\nvn\nvn 0 0 -1\nf 1/1/2 2/2/1 3/3/2\nf 3/1/1 2//2 1/3/1\n");
    expectDrawable(*m);
    ASSERT_EQ(m->NumVertex, 3);
    ASSERT_EQ(m->NumNormal, 2);
    EXPECT_EQ(m->VertexArray[1].x, 1.0f);
    EXPECT_EQ(m->VertexArray[1].y, 0.0f);
    EXPECT_EQ(m->VertexArray[2].y, 1.0f);
    EXPECT_EQ(m->NormalArray[1].z, -1.0f);
    EXPECT_EQ(faces(*m), "1/2 2/1 3/2;3/1 2/2 1/1;");
}

TEST(ObjLoader, LongLinesAreCutAt511Characters)
{
    // The cut-off remainder is read as a line of its own.
    const auto tail = parse(std::string(511, '#') + "v 7 8 9\n" + kTriangle);
    ASSERT_EQ(tail->NumVertex, 4);
    EXPECT_EQ(tail->VertexArray[0].x, 7.0f);
    // A 600-character face: its corners fall past the cut, so it is no face.
    const auto face = parse(kTriangle + "f" + std::string(598, ' ') + "1//1 2//1 3//1\n");
    expectDrawable(*face);
    EXPECT_EQ(face->NumTriangle, 1);
    // A 600-character vertex line still counts once; its numbers are read.
    const auto vertex = parse("v 1 2 3" + std::string(593, ' ') + "\n" + kTriangle);
    EXPECT_EQ(vertex->NumVertex, 4);
    EXPECT_EQ(vertex->VertexArray[0].z, 3.0f);
}

TEST(ObjLoader, RandomBytesNeverBreakIt)
{
    // OBJ-ish tokens mixed with arbitrary bytes, including NULs and high bytes.
    const std::string pieces[] = {"v",
                                  "vn",
                                  "vt",
                                  "f",
                                  " ",
                                  "\n",
                                  "\r\n",
                                  "/",
                                  "//",
                                  "1",
                                  "3",
                                  "-1",
                                  "0",
                                  "9999999999",
                                  "0.5",
                                  "#",
                                  "f 1//1 2//1 3//1",
                                  "v 1 2 3",
                                  "vn 0 0 1",
                                  "1/2/3"};
    std::mt19937 rng(20240601);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int parts = static_cast<int>(rng() % 120);
        for (int i = 0; i < parts; ++i)
            text += rng() % 3 == 0 ? std::string(1, static_cast<char>(rng() % 256))
                                   : pieces[rng() % std::size(pieces)];
        const auto m = parse(text);
        ASSERT_NE(m, nullptr);
        expectDrawable(*m);
    }
}

class TempDir : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("quorbly-model-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "models");
    }
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string &name, const std::string &text)
    {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    fs::path dir;
};

using ObjFile = TempDir;

TEST_F(ObjFile, ConvertLoadObjAndTheFigureModels)
{
    write("models/HambodyMKII.obj", kTriangle);
    write("models/Item.obj", kTriangle + "f 3//1 2//1 1//1\n");
    write("empty.obj", "");
    std::vector<char> text = {'x'};
    int size = 42;
    EXPECT_EQ(convert((dir / "missing.obj").c_str(), &text, &size), 0);
    EXPECT_EQ(size, 42);
    ASSERT_EQ(convert((dir / "models/HambodyMKII.obj").c_str(), &text, &size), 1);
    EXPECT_EQ(std::string(text.begin(), text.end()), kTriangle); // whole, unterminated
    std::unique_ptr<ObjModel> m;
    for (const char *name : {"empty.obj", "missing.obj"}) {
        loadObj(&m, (dir / name).c_str());
        ASSERT_NE(m, nullptr) << name;
        EXPECT_EQ(m->NumVertex + m->NumNormal + m->NumTriangle, 0) << name;
    }

    // The figures load from the working directory's models/ and free in order.
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

    // The animation clock counts milliseconds.
    rate = 0;
    updateModel(0.516f);
    EXPECT_FLOAT_EQ(rate, 516.0f);
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

TEST(Models, AllSixAreWholeModestAndLitOutward)
{
    for (const char *name : kModelFiles) {
        SCOPED_TRACE(name);
        const auto m = loadData(name);
        expectDrawable(*m);
        EXPECT_GT(m->NumTriangle, 50);
        EXPECT_LE(m->NumTriangle, 4000) << "drawn every frame";
        // Each corner's normal is unit length and agrees with its face's
        // winding (counter-clockwise from outside), so light falls on the outside.
        int disagree = 0;
        for (const ObjTriangle &t : m->TriangleArray) {
            const ObjVertex a = m->VertexArray[t.Vertex[0] - 1],
                            b = m->VertexArray[t.Vertex[1] - 1],
                            c = m->VertexArray[t.Vertex[2] - 1];
            const Point e1{b.x - a.x, b.y - a.y, b.z - a.z}, e2{c.x - a.x, c.y - a.y, c.z - a.z};
            const Point f{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z,
                          e1.x * e2.y - e1.y * e2.x};
            for (int j = 0; j < 3; ++j) {
                const ObjNormal &n = m->NormalArray[t.Normal[j] - 1];
                ASSERT_NEAR(norm({n.x, n.y, n.z}), 1.0, 1e-3);
                disagree += norm(f) >= 1e-7 && f.x * n.x + f.y * n.y + f.z * n.z <= 0;
            }
        }
        EXPECT_EQ(disagree, 0);
    }
}

TEST(Models, HamsterStaysInsideTheCageWhileItRuns)
{
    // The cage: a thin shell of bars, radius one.
    const auto cage = loadData("Cage.obj");
    double outer = 0, inner = 2;
    for (const ObjVertex &v : cage->VertexArray) {
        outer = std::max(outer, norm({v.x, v.y, v.z}));
        inner = std::min(inner, norm({v.x, v.y, v.z}));
    }
    EXPECT_LE(outer, 1.0 + 1e-4);
    EXPECT_GT(outer, 0.99);
    EXPECT_GT(inner, 0.93) << "bars, not a solid";

    // Each part as drawRat places it in the ball's frame: translate
    // (-0.2, -0.4, 0), scale 0.25, the part's offset, its swing about z.
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
    double reach = 0, minX = 1, maxX = -1;
    for (const Part &part : parts) {
        ASSERT_GT(part.model->NumVertex, 0);
        for (int swing = -30; swing <= 30; swing += 5) {
            const double a = part.sign * swing * 3.141592653589793 / 180;
            for (const ObjVertex &v : part.model->VertexArray) {
                const Point p{-0.2 + 0.25 * (part.offset.x + std::cos(a) * v.x - std::sin(a) * v.y),
                              -0.4 + 0.25 * (part.offset.y + std::sin(a) * v.x + std::cos(a) * v.y),
                              0.25 * (part.offset.z + v.z)};
                reach = std::max(reach, norm(p));
                minX = std::min(minX, p.x);
                maxX = std::max(maxX, p.x);
            }
        }
    }
    EXPECT_LT(reach, inner - 0.01) << "the hamster touches the bars";
    EXPECT_GT(reach, 0.75) << "a hamster lost in its ball";
    EXPECT_GT(maxX - minX, 1.1) << "nose to tail across more than half the ball";
    EXPECT_GT(maxX, 0.4) << "faces +x";
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
