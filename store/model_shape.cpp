#include "store/model_shape.h"

#include "store/model_file.h"

bool checkModelFile(ModelShape& shape, std::string& problem) {
    ModelFile model;
    if (readModelFile(model) != ModelFileRead::Read) {
        problem = model.problem;
        return false;
    }
    shape = model.shape;
    return true;
}
