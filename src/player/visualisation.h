#pragma once

#include <QVector>
#include <QWidget>

#include <memory>

namespace tunevale {

// Draws played sound in one of six styles: 0 Analog, 1 Linear, 2 Normal, 3 Fire, 4 Glass,
// 5 Kryptonite. draw() analyses and schedules a repaint; all painting happens in paintEvent().
class Visualisation final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Visualisation)

public:
    explicit Visualisation(QWidget* parent = nullptr);
    ~Visualisation() override;

    void initialise(int sampleRate, int channels);
    // Frames one drawing needs.
    int framesNeeded() const;
    // Draws interleaved samples; an empty array clears the picture.
    void draw(const QVector<qint16>& samples);
    int style() const { return m_style; }
    // Out-of-range styles are clamped to 0..kStyleCount - 1.
    void setStyle(int style);
    static constexpr int kStyleCount = 6;

    // Smoothed spectrum bands, lowest first: 0 at the floor (-60 dB), 1 at a full-scale sine.
    QVector<float> bandLevels() const;
    // Geometric centre of one band in Hz; 0 for a band that does not exist.
    double bandCentreFrequency(int band) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Says in the accessible description what the current style shows.
    void describeStyle();

    struct State;
    std::unique_ptr<State> m_state;
    int m_style = 2;
};

} // namespace tunevale
