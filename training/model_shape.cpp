#include "training/model_shape.h"

#include "training/model_file.h"

bool checkModelFile(ModelShape& shape) {
    ModelFile model;
    if (readModelFile(model) != ModelFileRead::Read) {
        return false;
    }
    shape = model.shape;
    return true;
}
