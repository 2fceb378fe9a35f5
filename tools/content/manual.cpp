// The bundled manual page that the settings dialog's picture opens (links.txt).
#include <string>

namespace qhc {

std::string Manual(int sceneCount) {
  const std::string count = std::to_string(sceneCount);
  return R"(<!DOCTYPE html>
<html lang="ru">
<head>
<meta charset="utf-8">
<title>Тихое нагорье — руководство</title>
<style>
body { font-family: "DejaVu Sans", sans-serif; max-width: 44em; margin: 2em auto; padding: 0 1em;
       color: #26313a; background: #f5f3ee; line-height: 1.5; }
h1 { color: #2f4a5c; font-weight: normal; } h2 { color: #3d5a40; font-weight: normal; margin-top: 1.6em; }
code { background: #e8e4da; padding: 0 0.25em; }
.en { color: #55606a; border-top: 1px solid #d5d0c4; margin-top: 2.5em; padding-top: 0.5em; }
</style>
</head>
<body>
<h1>Тихое нагорье</h1>
<p>Заставка с живыми картинами горной природы: плывущие облака, озеро, ручей и водопад,
покачивающиеся ветви, пение птиц, журчание воды и спокойная музыка. В комплекте )" + count +
         R"( сцены; они сменяют друг друга плавным наездом камеры.</p>

<h2>Запуск</h2>
<p><code>quiet-highland</code> — заставка во весь экран. Любая клавиша или кнопка мыши завершает её;
движение мыши — нет.<br>
<code>quiet-highland /c</code> — окно параметров.<br>
<code>quiet-highland /p ОКНО</code> — маленькая картинка для окна предварительного просмотра.</p>

<h2>Параметры</h2>
<ul>
<li><b>Задержка между сценами</b> — сколько показывается одна сцена (от 30 секунд до «не менять сцену»).</li>
<li><b>Громкость звука</b> — общая громкость музыки и звуков природы.</li>
<li><b>Смена утра, дня и вечера</b> — картина медленно окрашивается в утренние, дневные и вечерние тона.</li>
<li><b>Показывать время</b> — часы в правом нижнем углу.</li>
<li><b>Начинать показ</b> — с какой сцены начинать.</li>
<li><b>Музыка</b> и <b>Звуки природы</b> — включают и выключают звук.</li>
</ul>
<p>Настройки хранятся в файле <code>~/.config/quiet-highland/registry.reg</code>.</p>

<h2>Свои сцены</h2>
<p>Сцены лежат в папке <code>Data</code>: каталог объектов <code>gameobjs.txt</code>, уровни
<code>level0.lev</code>, <code>level1.lev</code>… и фоновые картины <code>_a_back0.jpg</code>…
(JPEG 800×600, за которым следуют 480000 байт прозрачности). Там, где фон прозрачен, видны слои
неба, воды и водопада. Число сцен и звук каждой сцены задаёт значение <code>"settingsex"</code>
в <code>registry.reg</code>.</p>

<div class="en">
<h2>Quiet Highland (English)</h2>
<p>A screensaver of living highland scenes: drifting clouds, a lake, a brook and a waterfall,
swaying branches, birdsong, running water and calm music. Run <code>quiet-highland</code> for the
full-screen saver (any key or mouse button ends it), <code>quiet-highland /c</code> for the settings.
Settings are kept in <code>~/.config/quiet-highland/registry.reg</code>. The scenes live in the
<code>Data</code> folder: the object catalogue <code>gameobjs.txt</code>, one level file and one
background picture per scene; transparent parts of a background show the sky, water and waterfall
layers behind it.</p>
<p>All pictures, sounds and music of Quiet Highland were made by its own generator; the letters are
DejaVu Sans.</p>
</div>
</body>
</html>
)";
}

}  // namespace qhc
