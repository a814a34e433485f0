// Writes the skinned tube model.
#include "skinned_model.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace bench {
namespace {

constexpr float kLength = 4.0f;
constexpr float kRadius = 0.3f;
constexpr float kPi = 3.14159265f;

void Append(std::string& out, const char* format, double a, double b = 0, double c = 0) {
    char line[96];
    const int n = std::snprintf(line, sizeof line, format, a, b, c);
    out.append(line, size_t(n));
}

std::string Translation(float y) {
    std::string m;
    Append(m, "1,0,0,0, 0,1,0,0, 0,0,1,0, 0,%.6f,0,1;;", y);
    return m;
}

} // namespace

std::string SkinnedModelFile(int rings, int sides, int bones) {
    const int vertices = rings * sides;
    const float step = kLength / float(bones - 1); // bone b stands at y = b * step
    std::string x = "xof 0303txt 0032\nAnimTicksPerSecond { 100; }\nFrame Root {\n";
    x += " FrameTransformMatrix { " + Translation(0) + " }\n";
    for (int b = 0; b < bones; ++b)
        x += "Frame Bone" + std::to_string(b) + " { FrameTransformMatrix { " +
             Translation(b ? step : 0) + " }\n";
    x += std::string(size_t(bones), '}') + "\n";

    x += "Mesh Tube {\n" + std::to_string(vertices) + ";\n";
    for (int r = 0; r < rings; ++r) {
        const float y = kLength * float(r) / float(rings - 1);
        for (int s = 0; s < sides; ++s) {
            const float a = 2 * kPi * float(s) / float(sides);
            Append(x, "%.5f;%.5f;%.5f;", kRadius * std::cos(a), y, kRadius * std::sin(a));
            x += r + 1 == rings && s + 1 == sides ? ";\n" : ",\n";
        }
    }
    const int quads = (rings - 1) * sides;
    std::string faces;
    for (int r = 0; r + 1 < rings; ++r)
        for (int s = 0; s < sides; ++s) {
            const int a = r * sides + s, b = r * sides + (s + 1) % sides;
            faces += "4;" + std::to_string(a) + "," + std::to_string(a + sides) + "," +
                     std::to_string(b + sides) + "," + std::to_string(b) + ";" +
                     (r + 2 == rings && s + 1 == sides ? ";\n" : ",\n");
        }
    x += std::to_string(quads) + ";\n" + faces;
    x += "MeshNormals {\n" + std::to_string(vertices) + ";\n";
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < sides; ++s) {
            const float a = 2 * kPi * float(s) / float(sides);
            Append(x, "%.5f;0;%.5f;", std::cos(a), std::sin(a));
            x += r + 1 == rings && s + 1 == sides ? ";\n" : ",\n";
        }
    x += std::to_string(quads) + ";\n" + faces + "}\n";
    x += "MeshMaterialList { 1; " + std::to_string(quads) + "; ";
    for (int q = 0; q < quads; ++q)
        x += q + 1 == quads ? "0;\n" : "0,";
    x += "Material { 0.7;0.6;0.5;1.0;; 8.0; 0.3;0.3;0.3;; 0.0;0.0;0.0;; } }\n";

    // Each ring between two bones, weighted by how near it is to each.
    std::vector<std::vector<std::pair<int, float>>> ringsOf(static_cast<size_t>(bones));
    for (int r = 0; r < rings; ++r) {
        const float at = kLength * float(r) / float(rings - 1) / step;
        const int below = std::min(int(at), bones - 2);
        const float t = at - float(below);
        ringsOf[size_t(below)].push_back({r, 1 - t});
        ringsOf[size_t(below) + 1].push_back({r, t});
    }
    x += "XSkinMeshHeader { 2; 4; " + std::to_string(bones) + "; }\n";
    for (int b = 0; b < bones; ++b) {
        const auto& list = ringsOf[size_t(b)];
        x += "SkinWeights { \"Bone" + std::to_string(b) + "\"; " +
             std::to_string(list.size() * size_t(sides)) + ";\n";
        std::string weights;
        for (size_t i = 0; i < list.size(); ++i)
            for (int s = 0; s < sides; ++s) {
                const bool last = i + 1 == list.size() && s + 1 == sides;
                x += std::to_string(list[i].first * sides + s) + (last ? ";\n" : ",");
                Append(weights, last ? "%.4f;\n" : "%.4f,", list[i].second);
            }
        if (list.empty()) x += ";\n";
        x += (list.empty() ? ";\n" : weights) + Translation(-float(b) * step) + " }\n";
    }
    x += "}\n}\n";

    x += "AnimationSet Bend {\n";
    for (int b = 1; b < bones; ++b) {
        x += "Animation { { Bone" + std::to_string(b) + " }\n AnimationKey { 0; 3; ";
        const float angle = 0.35f / float(bones) * 10.0f;
        for (int k = 0; k < 3; ++k) {
            const float half = (k == 1 ? angle : 0.0f) / 2;
            Append(x, "%d;4;%.6f,0,0,", k * 50, std::cos(half));
            Append(x, "%.6f;;", std::sin(half));
            x += k < 2 ? ", " : ";";
        }
        x += " }\n AnimationKey { 2; 1; 0;3;0," + std::to_string(step) + ",0;;; }\n}\n";
    }
    x += "}\n";
    return x;
}

std::string EnsureSkinnedModel(const std::string& folder, int rings, int sides, int bones) {
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/tube" + std::to_string(rings) + "x" +
                             std::to_string(sides) + "_" + std::to_string(bones) + ".x";
    if (!std::filesystem::exists(path))
        std::ofstream(path, std::ios::binary) << SkinnedModelFile(rings, sides, bones);
    return path;
}

} // namespace bench
