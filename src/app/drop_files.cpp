// OnDropFiles: the first file dropped on the window replaces the model when it loads.
#include "app/viewer.h"
#include "scene/animated_model.h"
#include "scene/console_text.h"
#include "scene/mesh_model.h"
#include "state/viewer_state.h"

#include <shellapi.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <new>

void OnDropFiles(HDROP drop) {
    // A name that does not fit, or that code page 932 cannot spell (Windows writes '?', which no
    // file name holds), is refused whole rather than cut into another file's name.
    const UINT length = DragQueryFileA(drop, 0, nullptr, 0);
    if (length == 0 || length >= sizeof viewer.droppedPath) {
        std::fprintf(stderr, "xofview: dropped file ignored: its path is longer than %u bytes\n",
                     unsigned(sizeof viewer.droppedPath - 1));
    } else {
        DragQueryFileA(drop, 0, viewer.droppedPath, sizeof viewer.droppedPath);
        if (std::strchr(viewer.droppedPath, '?')) {
            std::fprintf(stderr,
                         "xofview: dropped file ignored: \"%s\" cannot be written in code page "
                         "932\n",
                         ConsoleText(viewer.droppedPath).c_str());
        } else {
            MeshModel* replacement = new MeshModel{};
            if (LoadMeshModel(replacement, viewer.droppedPath)) {
                MeshModel* previous = viewer.model;
                viewer.model = replacement;
                if (previous) ReleaseMeshModel(previous);
                delete previous;
                // The new model starts still, as a model does at start.
                ForgetAnimation();
                std::memcpy(viewer.shownModelPath, viewer.droppedPath, sizeof viewer.droppedPath);
            } else {
                delete replacement; // the current model stays
            }
        }
    }
    std::fflush(stderr);
    DragFinish(drop);
}
