#include "training/model_shape.h"

#include "training/model_file.h"

std::atomic<std::uint8_t> newModelFlag{0};

bool checkModelFile(ModelShape& shape) {
    ModelFile model;
    if (readModelFile(model) != ModelFileRead::Read) {
        return false;
    }
    shape = model.shape;
    return true;
}
