// The compiled part of Asio and Beast, built once for the whole tree.
#include <boost/asio/impl/src.hpp>
#include <boost/beast/src.hpp>
