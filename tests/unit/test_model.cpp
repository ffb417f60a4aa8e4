// SPDX-License-Identifier: GPL-3.0-or-later
// The OBJ reader, the figure models and clock, and the six committed models.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>

#include "render/model.h"

namespace
{

namespace fs = std::filesystem;

// Everything the reader stored, as "v x y z|n x y z|f v/n v/n v/n|". The
// text lies in a heap block of exactly its length, so that a read past the
// end is a fault under the address sanitizer.
std::string parse(const std::string &text)
{
    auto exact = std::make_unique<char[]>(text.size());
    std::copy(text.begin(), text.end(), exact.get());
    const auto m = ObjLoadModel(exact.get(), static_cast<int>(text.size()));
    EXPECT_EQ((std::array{m->NumVertex, m->NumNormal, m->NumTriangle}),
              (std::array{int(m->VertexArray.size()), int(m->NormalArray.size()),
                          int(m->TriangleArray.size())}));
    std::ostringstream out;
    for (const ObjVertex &v : m->VertexArray)
        out << "v " << v.x << ' ' << v.y << ' ' << v.z << '|';
    for (const ObjNormal &n : m->NormalArray)
        out << "n " << n.x << ' ' << n.y << ' ' << n.z << '|';
    for (const ObjTriangle &t : m->TriangleArray)
        out << "f " << t.Vertex[0] << '/' << t.Normal[0] << ' ' << t.Vertex[1] << '/' << t.Normal[1]
            << ' ' << t.Vertex[2] << '/' << t.Normal[2] << '|';
    return out.str();
}

const std::string kTriangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nf 1//1 2//1 3//1\n";
const std::string kTriangleRead = "v 0 0 0|v 1 0 0|v 0 1 0|n 0 0 1|f 1/1 2/1 3/1|";

std::string replaced(std::string s, char from, const std::string &to)
{
    for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size())
        s.replace(at, 1, to);
    return s;
}

TEST(ObjReader, OneTriangleInAnyLayout)
{
    const std::string layouts[] = {
        kTriangle,
        "   v 0 0 0\n\tv 1 0 0\n \t v 0 1 0\n\t\tvn 0 0 1\n  f 1//1 2//1 3//1\n",
        "\n# a comment\nv 0 0 0\n\nv 1 0 0\nv 0 1 0\nvn 0 0 1\ng group\ns 1\nf 1//1 2//1 3//1\n",
        "v\t0\t0\t0\nv  1  0  0\nv 0 1 0\nvn 0 0 1\nf\t1//1\t2//1\t3//1", // no final line feed
        replaced(kTriangle, '\n', "\r\n"),
        replaced(kTriangle, '\n', "\r"),                      // old Mac line ends
        "v0 0 0\nv1 0 0\nv0 1 0\nvn0 0 1\nf1//1 2//1 3//1\n", // as "v %f" scans them
        "v nan -inf 0x1p3\nv 1 0 1e999\nv 0 1 0\nvn 0 0 1\nf 1//1 2//1 3//1\n",
        "v 0 0 0" + std::string(504, ' ') + "v 9 9 9\n" + kTriangle.substr(8), // cut at 511
        std::string(511, '#') + "v 7 8 9\n" + kTriangle,
    };
    for (const std::string &text : layouts)
        EXPECT_EQ(parse(text), kTriangleRead) << text;
    // The text goes on past the size given: "v 1 2 3" must not become "v 1 2 34".
    EXPECT_EQ(ObjLoadModel("v 1 2 34\nv 5 6 7\n", 7)->VertexArray.at(0).z, 3.0f);
}

TEST(ObjReader, IndicesCountWithinTheirKindAndOtherLinesKeepTheirPlace)
{
    const std::pair<std::string, std::string> cases[] = {
        // A face may name vertices written after it.
        {"vn 1 0 0\nv 0 0 0\nvn 0 1 0\nv 1 0 0\nf 2//2 1//1 3//2\nv 0 1 0\nvn 0 0 1\nf 3//3 2//1 "
         "1//2\n",
         "v 0 0 0|v 1 0 0|v 0 1 0|n 1 0 0|n 0 1 0|n 0 0 1|f 2/2 1/1 3/2|f 3/3 2/1 1/2|"},
        {"v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvn 0 0 1\nf 1//1 2//1 3//1 4//1\n",
         "v 0 0 0|v 1 0 0|v 1 1 0|v 0 1 0|n 0 0 1|f 1/1 2/1 3/1|"},
        // vt and other v-words never shift the numbering; v/vt/vn faces keep
        // vertex and normal; short lines keep their place.
        {"vt 0.5 0.5\nv 0 0 0\nvp 0.1\nv 1\nvt 1 1\nv 0 1 0\nvx 9 9 9\nvnx 1 2 3\nvn\nvn 0 0 -1\n"
         "f 1/1/2 2/2/1 3/3/2\nf 3/1/1 2//2 1/3/1\n",
         "v 0 0 0|v 1 0 0|v 0 1 0|n 0 0 0|n 0 0 -1|f 1/2 2/1 3/2|f 3/1 2/2 1/1|"},
    };
    for (const auto &[text, read] : cases)
        EXPECT_EQ(parse(text), read) << text;
    for (const char *empty : {"", "\n\n", "   \t  ", "# only a comment\n", "\r\n\r\r"})
        EXPECT_EQ(parse(empty), "");
    EXPECT_EQ(ObjLoadModel(nullptr, 10)->NumVertex + ObjLoadModel("v 1 2 3\n", -4)->NumVertex, 0);
}

TEST(ObjReader, BadFacesAloneAreDropped)
{
    const std::string head = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvn 0 1 0\nf 1//1 2//2 3//1\n";
    for (const char *face :
         {"f 0//1 2//1 3//1", "f 1//1 2//0 3//1", "f -1//1 2//1 3//1", "f 1//1 2//-2 3//1",
          "f 1//1 2//1 4//1", "f 1//1 2//1 x//1", "f 1//1 2//1 3/", "f 1//1 2//3 3//1",
          "f 1//1 2//1 99999999999999999999//1", "f 2147483648//1 1//1 2//1", "f 1//1 2//1", "f",
          "f 1 2 3", "f 1/1 2/1 3/1", "f 1//1 2// 3//1", "f 1//1 2//1 3//1x", "face 1//1 2//1 3//1",
          "f //1 //1 //1"})
        EXPECT_EQ(parse(head + face + "\nf 3//2 2//1 1//1\n"),
                  "v 0 0 0|v 1 0 0|v 0 1 0|n 0 0 1|n 0 1 0|f 1/1 2/2 3/1|f 3/2 2/1 1/1|")
            << face;
}

class TempDir : public ::testing::Test
{
  protected:
    void SetUp() override { fs::create_directories(dir / "models"); }
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string &name, const std::string &text)
    {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    fs::path dir = fs::temp_directory_path() / ("quorbly-model-" + std::to_string(getpid()));
};

using ObjFile = TempDir;

TEST_F(ObjFile, ConvertLoadObjAndTheFigureModels)
{
    write("models/HambodyMKII.obj", kTriangle);
    write("models/Item.obj", kTriangle + "f 3//1 2//1 1//1\n");
    std::vector<char> text = {'x'};
    int size = 42;
    EXPECT_EQ(std::pair(convert((dir / "missing.obj").c_str(), &text, &size), size),
              std::pair(0, 42));
    ASSERT_EQ(convert((dir / "models/HambodyMKII.obj").c_str(), &text, &size), 1);
    EXPECT_EQ(std::string(text.begin(), text.begin() + size), kTriangle); // whole, unterminated

    // The figures load from the working directory's models/; a missing file
    // leaves its part empty; the item is freed on its own.
    const fs::path was = fs::current_path();
    fs::current_path(dir);
    initModel();
    initPower();
    fs::current_path(was);
    ASSERT_TRUE(head && body && ffoot && bfoot && ball && item);
    EXPECT_EQ((std::array{body->NumTriangle, item->NumTriangle, head->NumVertex}),
              (std::array{1, 2, 0}));
    freeModel();
    EXPECT_TRUE(!head && !body && !ffoot && !bfoot && !ball && item);
    freePower();
    EXPECT_EQ(item, nullptr);

    rate = 0;
    updateModel(0.516f);
    EXPECT_FLOAT_EQ(std::exchange(rate, 0), 516.0f); // milliseconds
}

// The committed models: whole, modest, lit on the outside, and regenerated
// byte for byte by the tool that made them.
const char *const kModelFiles[] = {"HamheadMKII.obj", "HambodyMKII.obj", "HamflegMKII.obj",
                                   "HamblegMKII.obj", "Cage.obj",        "Item.obj"};

TEST(Models, AllSixAreWholeModestAndLitOutward)
{
    for (const char *name : kModelFiles) {
        std::unique_ptr<ObjModel> m;
        loadObj(&m, (std::string(QUORBLY_DATA_DIR) + "/models/" + name).c_str());
        EXPECT_TRUE(m->NumTriangle > 50 && m->NumTriangle <= 4000) << name << ": drawn every frame";
        // Each corner's normal is of unit length and agrees with the face's
        // counter-clockwise winding; at() throws on an index out of range.
        int disagree = 0;
        for (const ObjTriangle &t : m->TriangleArray) {
            std::array<ObjVertex, 3> c;
            for (int j = 0; j < 3; ++j)
                c[j] = m->VertexArray.at(t.Vertex[j] - 1);
            const double e1[] = {c[1].x - c[0].x, c[1].y - c[0].y, c[1].z - c[0].z},
                         e2[] = {c[2].x - c[0].x, c[2].y - c[0].y, c[2].z - c[0].z};
            const double f[] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                e1[0] * e2[1] - e1[1] * e2[0]};
            for (int j = 0; j < 3; ++j) {
                const ObjNormal &n = m->NormalArray.at(t.Normal[j] - 1);
                disagree += std::abs(std::hypot(n.x, n.y, n.z) - 1) > 1e-3 ||
                            (std::hypot(f[0], f[1], f[2]) >= 1e-7 &&
                             f[0] * n.x + f[1] * n.y + f[2] * n.z <= 0);
            }
        }
        EXPECT_EQ(disagree, 0) << name;
    }
}

using Generator = TempDir;

TEST_F(Generator, RegeneratesTheCommittedModelsByteForByte)
{
    const std::string tool = std::string(QUORBLY_BUILD_DIR) + "/tools/modelgen/quorbly-modelgen";
    ASSERT_TRUE(fs::exists(tool)) << "build quorbly-modelgen first";
    ASSERT_EQ(std::system(("'" + tool + "' '" + dir.string() + "' >/dev/null").c_str()), 0);
    auto bytes = [](const fs::path &p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    for (const char *name : kModelFiles)
        EXPECT_TRUE(!bytes(dir / name).empty() &&
                    bytes(dir / name) == bytes(fs::path(QUORBLY_DATA_DIR) / "models" / name))
            << name << ": data/models is stale, run scripts/gen-models.sh";
}

} // namespace
