#include "player/visualisation.h"

namespace tunevale {
struct Visualisation::State {};
Visualisation::Visualisation(QWidget* parent) : QWidget(parent), m_state(std::make_unique<State>()) {}
Visualisation::~Visualisation() = default;
void Visualisation::initialise(int, int) {}
int Visualisation::framesNeeded() const { return 1024; }
void Visualisation::draw(const QVector<qint16>&) {}
void Visualisation::setStyle(int style) { m_style = style; }
void Visualisation::paintEvent(QPaintEvent*) {}
} // namespace tunevale
