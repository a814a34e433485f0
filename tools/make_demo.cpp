// Writes the demo: a lighthouse on a rock as demo/op.x with its textures, and the filter image.
//
//   make_demo OUTPUT_DIR
//
// Everything is computed here, so running it again reproduces the same files.
#include <SDL.h>
#include <SDL_image.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSegments = 64;

struct Vertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};

struct Mesh {
    std::string name;
    std::vector<Vertex> vertices;
    std::vector<std::vector<int>> faces;
    std::vector<int> faceMaterials;
};

// A profile point of a surface of revolution: radius and height.
struct ProfilePoint {
    double radius;
    double height;
};

// Turns a profile about the y axis. Each band between two profile points gets its own ring of
// vertices, so normals are smooth around the axis and sharp between bands. v runs down the
// profile from vTop to vBottom; u runs once around.
void Lathe(Mesh& mesh, const std::vector<ProfilePoint>& profile, int material, double vTop,
           double vBottom) {
    const double vSpan = vBottom - vTop;
    for (size_t band = 0; band + 1 < profile.size(); ++band) {
        const ProfilePoint a = profile[band];
        const ProfilePoint b = profile[band + 1];
        // The outward normal of the band in the (radius, height) plane: profiles run with the
        // outside on their left, down the outer wall.
        double nr = a.height - b.height;
        double ny = b.radius - a.radius;
        const double length = std::sqrt(nr * nr + ny * ny);
        if (length == 0.0) continue;
        nr /= length;
        ny /= length;
        const int first = int(mesh.vertices.size());
        const double va = vTop + vSpan * double(band) / double(profile.size() - 1);
        const double vb = vTop + vSpan * double(band + 1) / double(profile.size() - 1);
        for (int s = 0; s <= kSegments; ++s) {
            const double angle = 2.0 * kPi * s / kSegments;
            const double c = std::cos(angle), sn = std::sin(angle);
            for (const auto& [point, v] : {std::pair{a, va}, std::pair{b, vb}}) {
                mesh.vertices.push_back({float(point.radius * c), float(point.height),
                                         float(point.radius * sn), float(nr * c), float(ny),
                                         float(nr * sn), float(double(s) / kSegments), float(v)});
            }
        }
        for (int s = 0; s < kSegments; ++s) {
            const int i = first + 2 * s;
            // Clockwise as seen from outside, which Direct3D keeps with its default culling.
            if (a.radius == 0.0 || b.radius == 0.0) {
                const int apex = a.radius == 0.0 ? i : i + 1;
                const int base0 = a.radius == 0.0 ? i + 1 : i;
                const int base1 = base0 + 2;
                if (a.radius == 0.0)
                    mesh.faces.push_back({apex, base1, base0});
                else
                    mesh.faces.push_back({apex, base0, base1});
            } else {
                mesh.faces.push_back({i, i + 2, i + 3, i + 1});
            }
            mesh.faceMaterials.push_back(material);
        }
    }
}

void Write(FILE* out, const Mesh& mesh, const std::vector<std::string>& materialNames) {
    std::fprintf(out, "  Mesh %s {\n   %zu;\n", mesh.name.c_str(), mesh.vertices.size());
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        const Vertex& v = mesh.vertices[i];
        std::fprintf(out, "   %.5f;%.5f;%.5f;%s\n", v.x, v.y, v.z,
                     i + 1 == mesh.vertices.size() ? ";" : ",");
    }
    auto writeFaces = [&](const char* indent) {
        std::fprintf(out, "%s%zu;\n", indent, mesh.faces.size());
        for (size_t i = 0; i < mesh.faces.size(); ++i) {
            const auto& face = mesh.faces[i];
            std::fprintf(out, "%s%zu;", indent, face.size());
            for (size_t k = 0; k < face.size(); ++k)
                std::fprintf(out, "%d%s", face[k], k + 1 == face.size() ? ";" : ",");
            std::fprintf(out, "%s\n", i + 1 == mesh.faces.size() ? ";" : ",");
        }
    };
    writeFaces("   ");

    std::fprintf(out, "   MeshNormals {\n    %zu;\n", mesh.vertices.size());
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        const Vertex& v = mesh.vertices[i];
        std::fprintf(out, "    %.5f;%.5f;%.5f;%s\n", v.nx, v.ny, v.nz,
                     i + 1 == mesh.vertices.size() ? ";" : ",");
    }
    writeFaces("    ");
    std::fprintf(out, "   }\n");

    std::fprintf(out, "   MeshTextureCoords {\n    %zu;\n", mesh.vertices.size());
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        const Vertex& v = mesh.vertices[i];
        std::fprintf(out, "    %.5f;%.5f;%s\n", v.u, v.v,
                     i + 1 == mesh.vertices.size() ? ";" : ",");
    }
    std::fprintf(out, "   }\n");

    std::fprintf(out, "   MeshMaterialList {\n    %zu;\n    %zu;\n", materialNames.size(),
                 mesh.faceMaterials.size());
    for (size_t i = 0; i < mesh.faceMaterials.size(); ++i)
        std::fprintf(out, "    %d%s\n", mesh.faceMaterials[i],
                     i + 1 == mesh.faceMaterials.size() ? ";" : ",");
    for (const std::string& name : materialNames)
        std::fprintf(out, "    {%s}\n", name.c_str());
    std::fprintf(out, "   }\n  }\n");
}

// Every element written as a decimal: some readers refuse whole numbers in float fields.
void WriteMatrix(FILE* out, const char* indent, const std::vector<float>& m) {
    std::fprintf(out, "%sFrameTransformMatrix {\n%s ", indent, indent);
    for (size_t i = 0; i < m.size(); ++i)
        std::fprintf(out, "%.6f%s", m[i], i + 1 == m.size() ? ";;\n" : ",");
    std::fprintf(out, "%s}\n", indent);
}

struct MaterialSpec {
    const char* name;
    float r, g, b, a;
    float power;
    float sr, sg, sb;
    const char* texture; // null: untextured
};

bool WriteModel(const std::string& path) {
    const MaterialSpec materials[] = {
        {"Rock", 0.62f, 0.58f, 0.52f, 1.0f, 5.0f, 0.1f, 0.1f, 0.1f, "rock.bmp"},
        {"TowerPaint", 1.0f, 1.0f, 1.0f, 1.0f, 20.0f, 0.4f, 0.4f, 0.4f, "stripes.png"},
        {"Iron", 0.18f, 0.2f, 0.22f, 1.0f, 40.0f, 0.8f, 0.8f, 0.8f, nullptr},
        {"Lamp", 1.0f, 0.86f, 0.35f, 1.0f, 60.0f, 1.0f, 1.0f, 0.9f, nullptr},
        {"RoofRed", 0.7f, 0.08f, 0.06f, 1.0f, 30.0f, 0.5f, 0.5f, 0.5f, nullptr},
    };

    Mesh island{"IslandMesh", {}, {}, {}};
    Lathe(island,
          {{0.0, -3.2},
           {1.2, -3.18},
           {2.0, -3.3},
           {2.5, -3.55},
           {2.7, -3.85},
           {2.6, -4.05},
           {0.0, -4.1}},
          0, 0.0, 1.0);

    Mesh tower{"TowerMesh", {}, {}, {}};
    std::vector<ProfilePoint> shaft;
    for (int i = 0; i <= 16; ++i) {
        const double t = i / 16.0;
        shaft.push_back({0.55 + 0.25 * t, 0.2 - 3.4 * t});
    }
    Lathe(tower, shaft, 1, 0.0, 1.0);
    Lathe(tower, {{0.0, 0.3}, {0.85, 0.3}, {0.85, 0.2}, {0.55, 0.2}}, 2, 0.0, 1.0); // gallery
    Lathe(tower, {{0.38, 0.8}, {0.38, 0.3}}, 3, 0.0, 1.0);                          // lantern
    Lathe(tower, {{0.0, 1.35}, {0.5, 0.8}}, 4, 0.0, 1.0);                           // roof

    FILE* out = std::fopen(path.c_str(), "w");
    if (!out) return false;
    std::fprintf(out, "xof 0302txt 0032\n// A lighthouse on a rock: xofview's demo model.\n\n");
    for (const MaterialSpec& m : materials) {
        std::fprintf(out,
                     "Material %s {\n %.3f;%.3f;%.3f;%.3f;;\n %.1f;\n %.3f;%.3f;%.3f;;\n "
                     "0.000;0.000;0.000;;\n",
                     m.name, m.r, m.g, m.b, m.a, m.power, m.sr, m.sg, m.sb);
        if (m.texture) std::fprintf(out, " TextureFilename {\n  \"%s\";\n }\n", m.texture);
        std::fprintf(out, "}\n\n");
    }
    std::vector<std::string> islandMaterials = {"Rock"};
    std::vector<std::string> towerMaterials = {"Rock", "TowerPaint", "Iron", "Lamp", "RoofRed"};
    // The whole scene is scaled to 0.8 and lowered a unit, so the default camera sees it whole.
    std::fprintf(out, "Frame Lighthouse {\n");
    WriteMatrix(out, " ", {0.8f, 0, 0, 0, 0, 0.8f, 0, 0, 0, 0, 0.8f, 0, 0, -1.0f, 0, 1});
    std::fprintf(out, " Frame Island {\n");
    WriteMatrix(out, "  ", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    Write(out, island, islandMaterials);
    std::fprintf(out, " }\n");
    // The tower stands a little off the island's centre and is turned to face the camera.
    std::fprintf(out, " Frame Tower {\n");
    WriteMatrix(out, "  ",
                {0.9659f, 0, 0.2588f, 0, 0, 1, 0, 0, -0.2588f, 0, 0.9659f, 0, 0.3f, 0, 0.2f, 1});
    Write(out, tower, towerMaterials);
    std::fprintf(out, " }\n}\n");
    return std::fclose(out) == 0;
}

SDL_Surface* NewImage(int width, int height) {
    return SDL_CreateRGBSurfaceWithFormat(0, width, height, 24, SDL_PIXELFORMAT_RGB24);
}

void Put(SDL_Surface* image, int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    if (x < 0 || y < 0 || x >= image->w || y >= image->h) return;
    uint8_t* p = static_cast<uint8_t*>(image->pixels) + y * image->pitch + x * 3;
    p[0] = r;
    p[1] = g;
    p[2] = b;
}

// A deterministic hash noise, so the rock texture is the same on every run.
double Noise(int x, int y) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return double(h & 0xFFFF) / 65535.0;
}

bool WriteStripes(const std::string& path) {
    SDL_Surface* image = NewImage(64, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool red = (y / 32) % 2 == 1;
            const int shade = 235 - (x % 16 == 0 ? 20 : 0); // faint panel seams
            if (red)
                Put(image, x, y, uint8_t(shade - 35), 30, 30);
            else
                Put(image, x, y, uint8_t(shade), uint8_t(shade), uint8_t(shade - 8));
        }
    const bool ok = IMG_SavePNG(image, path.c_str()) == 0;
    SDL_FreeSurface(image);
    return ok;
}

bool WriteRock(const std::string& path) {
    SDL_Surface* image = NewImage(128, 128);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const double n =
                0.5 * Noise(x, y) + 0.3 * Noise(x / 4, y / 4) + 0.2 * Noise(x / 16, y / 16);
            const int grey = int(90 + 110 * n);
            Put(image, x, y, uint8_t(grey), uint8_t(grey - 6), uint8_t(grey - 16));
        }
    const bool ok = SDL_SaveBMP(image, path.c_str()) == 0;
    SDL_FreeSurface(image);
    return ok;
}

// A tracing grid: fine lines every 16 px, strong ones every 64, a centre cross and circle.
bool WriteFilterImage(const std::string& path) {
    constexpr int size = 512;
    SDL_Surface* image = NewImage(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            int r = 250, g = 248, b = 240;
            if (x % 16 == 0 || y % 16 == 0) r = g = b = 200;
            if (x % 64 == 0 || y % 64 == 0 || x == size - 1 || y == size - 1) {
                r = 60;
                g = 90;
                b = 160;
            }
            const double dx = x - size / 2 + 0.5, dy = y - size / 2 + 0.5;
            const double distance = std::sqrt(dx * dx + dy * dy);
            const bool cross = (std::abs(dx) < 1.5 && std::abs(dy) < 40) ||
                               (std::abs(dy) < 1.5 && std::abs(dx) < 40);
            if (cross || std::abs(distance - 96.0) < 1.5) {
                r = 200;
                g = 30;
                b = 30;
            }
            Put(image, x, y, uint8_t(r), uint8_t(g), uint8_t(b));
        }
    const bool ok = IMG_SaveJPG(image, path.c_str(), 92) == 0;
    SDL_FreeSurface(image);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo OUTPUT_DIR\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const bool ok = WriteModel(dir + "op.x") && WriteStripes(dir + "stripes.png") &&
                    WriteRock(dir + "rock.bmp") &&
                    WriteFilterImage(dir + "\xE3\x83\x95\xE3\x82\xA3\xE3\x83\xAB\xE3\x82\xBF"
                                           "\xE3\x83\xBC\xE7\x94\xBB\xE5\x83\x8F.jpg");
    if (!ok) {
        std::fprintf(stderr, "make_demo: could not write into %s: %s\n", argv[1], SDL_GetError());
        return 1;
    }
    return 0;
}
