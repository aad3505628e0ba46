#include "bench/training_libsvm.h"

#include <svm.h>

namespace {

void quiet(const char*) {}

}  // namespace

struct LibsvmPair::Data {
    std::vector<double> labels;
    std::vector<svm_node> nodes;
    std::vector<svm_node*> rows;
    svm_problem problem{};
    svm_parameter parameter{};
    int weightLabel[2] = {1, -1};
    double weight[2] = {0.0, 0.0};
};

LibsvmPair::LibsvmPair(const PairProblem& problem) : data_(std::make_unique<Data>()) {
    svm_set_print_string_function(quiet);
    Data& d = *data_;
    const std::size_t D = static_cast<std::size_t>(problem.D);
    std::size_t positives = 0;
    for (std::size_t k = 0; k < problem.N; ++k) {
        d.labels.push_back(problem.labels[k]);
        positives += problem.labels[k] == 1;
    }
    d.nodes.reserve(problem.N * (D + 1));
    for (std::size_t k = 0; k < problem.N; ++k) {
        for (std::size_t c = 0; c < D; ++c) {
            d.nodes.push_back(svm_node{static_cast<int>(c + 1), problem.samples[k * D + c]});
        }
        d.nodes.push_back(svm_node{-1, 0.0});
    }
    for (std::size_t k = 0; k < problem.N; ++k) {
        d.rows.push_back(&d.nodes[k * (D + 1)]);
    }
    d.problem.l = static_cast<int>(problem.N);
    d.problem.y = d.labels.data();
    d.problem.x = d.rows.data();

    // The same class penalties as the server's trainer.
    const std::size_t negatives = problem.N - positives;
    d.weight[0] =
        static_cast<float>(static_cast<double>(problem.N) * 0.5 / static_cast<double>(positives));
    d.weight[1] =
        static_cast<float>(static_cast<double>(problem.N) * 0.5 / static_cast<double>(negatives));
    svm_parameter& p = d.parameter;
    p.svm_type = C_SVC;
    p.kernel_type = LINEAR;
    p.degree = 3;
    p.gamma = 1.0 / static_cast<double>(D);
    p.coef0 = 0;
    p.cache_size = 100;
    p.eps = 0.001;
    p.C = 1;
    p.nr_weight = 2;
    p.weight_label = d.weightLabel;
    p.weight = d.weight;
    p.nu = 0.5;
    p.p = 0.1;
    p.shrinking = 1;
    p.probability = 0;
}

LibsvmPair::~LibsvmPair() = default;

int LibsvmPair::train() const {
    svm_model* model = svm_train(&data_->problem, &data_->parameter);
    const int supportVectors = svm_get_nr_sv(model);
    svm_free_and_destroy_model(&model);
    return supportVectors;
}
