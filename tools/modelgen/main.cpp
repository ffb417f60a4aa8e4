// SPDX-License-Identifier: GPL-3.0-or-later
// quorbly-modelgen OUTDIR: writes the six figure models of the game into OUTDIR.
#include <cstdio>
#include <string>

#include "models.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    using namespace modelgen;
    const std::string dir = argv[1];
    const struct {
        const char *file;
        Mesh mesh;
    } models[] = {
        {"HamheadMKII.obj", hamsterHead()},
        {"HambodyMKII.obj", hamsterBody()},
        {"HamflegMKII.obj", frontFoot()},
        {"HamblegMKII.obj", backFoot()},
        {"Cage.obj", cage()},
        {"Item.obj", gem()},
    };
    for (const auto &model : models) {
        const std::string path = dir + "/" + model.file;
        if (!writeFile(path, toObj(model.mesh, model.file))) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s: %zu vertices, %zu triangles\n", model.file, model.mesh.positions.size(),
                    model.mesh.triangles.size());
    }
    return 0;
}
