<?xml version="1.0"?>
<!-- c -->
<!DOCTYPE PickedPoints SYSTEM "a>b">
<PickedPoints><point x="1" y="2" z="3" name="g"/><point active="0" name="n"/></PickedPoints>
